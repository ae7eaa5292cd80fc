#pragma once
// The main program's program-wide values (the module `Vimo_module`): one instance lives in app/
// and is handed by reference to the windows that read or set them.

class SpeechVoice;

struct ProgramValues {
  // Set by the start-up when the holiday image was fetched; read by the main window's load.
  bool HolidayToday = false;
  float HolidayAnimationInterval = 0.0f;
  // Alternating error-dialog flags of the start-up, the shutdown upload and the flag actions.
  bool StartErrorShown = false;
  bool UploadRetry = false;
  bool UploadErrorShown = false;
  bool CloseWindowMayClose = false;
  bool FlagErrorShown = false;
  // The speech object, created by the main window's load; not owned here.
  SpeechVoice* Voice = nullptr;
};
