#include "StartupSequence.h"

#include <system_error>

#include "BrainStore.h"
#include "ServerLayout.h"
#include "TextFile.h"
#include "UpdateTrial.h"
#include "Windows1252.h"

namespace {

constexpr int kRestoreNoticeMs = 1600;
constexpr int kFlagMessagesPauseMs = 1000;
constexpr int kUserCountNoticeMs = 4000;
constexpr int kCarStepTwips = 50;

constexpr std::string_view kUnknownError = "!Unknown error: Error details not available";
constexpr int kUnknownErrorsToIgnore = 2;

std::string NoInternetText() {
  return W(
      "Vimo kan inte nå internet. Detta är ett måste då Vimo måste ladda ner sin hjärna m.m.\n\n"
      "Se till att du är uppkopplad, och att Vimo inte är blockerat av brandväggen. Starta sedan "
      "om Vimo.");
}

std::string RestoreFailureText() {
  return W("OMFG! Återställningen av hjärnan misslyckades. Men bara lugn, som tur är görs det "
           "regelbundna backuper av Vimos hjärna.\n\nVar vänlig och gå in på '") +
         ErrorReportAddress() +
         W("' så får vi en felrapport.\nVill du göra detta nu? (Din webbläsare öppnas automatiskt. "
           "*snälla*)");
}

}  // namespace

StartupSequence::StartupSequence(StartupView& view, ProgramValues& values, StartupServices services,
                                 ServerSettings settings, std::filesystem::path folder,
                                 std::string computerName)
    : view_(view),
      values_(values),
      services_(services),
      settings_(std::move(settings)),
      folder_(std::move(folder)),
      computerName_(std::move(computerName)) {}

StartupSequence::~StartupSequence() {
  if (oFTP) oFTP->SetListener(nullptr);
}

void StartupSequence::Timer_laddanerbrain_Timer() {
  // A dialog inside Connect runs an event loop in which the timer could tick again.
  if (started_ || Stopped()) return;
  started_ = true;

  oFTP = std::make_unique<CFtp>();
  oFTP->SetListener(this);
  // Unlike the Windows build's fixed port 21, the settings carry one (the demo server listens on 2121).
  oFTP->Port(settings_.port);
  oFTP->Connect(settings_.host, settings_.user, settings_.password, "");
  if (Stopped()) return;
  oFTP->TransferType(1);

  const bool serverAnswers = oFTP->FileExist(std::string(remote::kIndexPage));
  if (Stopped()) return;
  if (!serverAnswers) {
    view_.StopTimer();
    return;
  }
  const bool brainPresent = oFTP->FileExist(std::string(remote::kBrain));
  if (Stopped()) return;
  view_.StopTimer();
  if (!brainPresent) {
    BrainMissing = true;
    oFTP_TransferCompleted();
    return;
  }
  Download(remote::kBrain, local::kBrain);
}

void StartupSequence::oFTP_TransferCompleted() {
  if (Stopped()) return;
  services_.pump.ProcessEvents();
  if (Stopped()) return;

  if (!BrainChecked) {
    CheckOrRestoreBrain();
  } else if (!BackupDone) {
    RefreshServerBackups();
  } else if (!VersionRequested) {
    RequestVersionRecord();
  } else if (!FlagMessageRequested) {
    CheckVersionAndFetch();
  } else {
    RegisterComputer();
  }
}

void StartupSequence::CheckOrRestoreBrain() {
  if (!BrainMissing) {
    // An absent or unreadable "brain.txt" has no records, so it is restored like a small one.
    const std::size_t cells = BrainStore(Local(local::kBrain)).CountBrainCells();
    if (cells >= kWholeBrainCells) {
      MoveCar(1000);
      view_.Check(StartupCheck::Steg1_chk);
      BrainChecked = true;
      if (!restoreNoticeShown_) {
        Upload(local::kBrain, remote::kBrainBackup);
      } else {
        // Just restored from "/brain2.txt": the backups stay as they are (BackupDone is set).
        oFTP_TransferCompleted();
      }
      return;
    }
    if (restoreNoticeShown_) {
      ShowRestoreFailure();
      return;
    }
    RemoveFile(Local(local::kBrain));
  }
  RestoreBrain();
}

void StartupSequence::RestoreBrain() {
  view_.ShowNotice(StartupNotice::Hjärnaförstörd_lbl1, true);
  view_.ShowNotice(StartupNotice::Hjärnaförstörd_lbl2, true);
  restoreNoticeShown_ = true;
  services_.pump.ProcessEvents();
  if (Stopped()) return;
  services_.waiter.Wait(kRestoreNoticeMs);
  BrainMissing = false;
  BackupDone = true;
  const bool backupPresent = oFTP->FileExist(std::string(remote::kBrainBackup));
  if (Stopped()) return;
  if (!backupPresent) {
    ShowRestoreFailure();
    return;
  }
  Download(remote::kBrainBackup, local::kBrain);
}

void StartupSequence::RefreshServerBackups() {
  MoveCar(2000);
  // The results are not examined. A server that has no manual backup yet (a fresh one) would
  // answer the delete with an error, and the user would be told that there is no internet; so
  // the delete is only asked for when there is something to delete.
  const bool manualBackupPresent = oFTP->FileExist(std::string(remote::kBrainManualBackup));
  if (Stopped()) return;
  if (manualBackupPresent) {
    oFTP->DeleteFile(std::string(remote::kBrainManualBackup));
    if (Stopped()) return;
  }
  oFTP->RenFile(std::string(remote::kBrainBackup), std::string(remote::kBrainManualBackup));
  if (Stopped()) return;
  BackupDone = true;
  Upload(local::kBrain, remote::kBrainBackup);
}

void StartupSequence::RequestVersionRecord() {
  view_.ShowNotice(StartupNotice::Hjärnaförstörd_lbl1, false);
  view_.ShowNotice(StartupNotice::Hjärnaförstörd_lbl2, false);
  restoreNoticeShown_ = false;
  MoveCar(3000);
  view_.Check(StartupCheck::Steg1_Del2_chk);
  VersionRequested = true;
  Download(remote::kVersionRecord, local::kVersionRecord);
}

void StartupSequence::CheckVersionAndFetch() {
  if (!HolidayImageRequested) {
    MoveCar(3400);
    view_.Check(StartupCheck::Steg2_chk);
    // An absent or unreadable record (its download failed) announces no update and no holiday.
    const VersionRecord version = ReadVersionRecord(Local(local::kVersionRecord)).value_or(VersionRecord{});
    values_.HolidayAnimationInterval = version.holidayAnimationInterval;

    // A release that was installed here and did not start is not offered again; a newer one is.
    if (version.IsNewerThan(kProgramVersion) && !ReleaseFailedHere(folder_, version.newestVersion)) {
      if (services_.desktop.StartProgram(Local(kUpdaterProgramFile))) {
        // "version.txt" stays for the updater; the downloaded brain goes, nothing is uploaded.
        RemoveFile(Local(local::kBrain));
        EndProgram();
        return;
      }
      // Without its updater the program would just vanish; the user keeps the installed version.
      view_.PrintLine(std::string("Error: ") + W("Kunde inte starta ") + kUpdaterProgramFile);
    }

    if (version.IsHoliday()) {
      view_.ShowNotice(StartupNotice::Speciellbild_info, true);
      values_.HolidayToday = true;
      HolidayImageRequested = true;
      oFTP->TransferType(2);
      std::error_code ignored;
      std::filesystem::create_directories(Local(local::kDataFolder), ignored);
      Download(remote::kHolidayImage, local::kHolidayImage, KeepOldCopy::Yes);
      return;
    }
  }
  FetchFlagMessages();
}

void StartupSequence::FetchFlagMessages() {
  oFTP->TransferType(1);
  services_.pump.ProcessEvents();
  if (Stopped()) return;
  services_.waiter.Wait(kFlagMessagesPauseMs);
  view_.ShowNotice(StartupNotice::Speciellbild_info, false);
  FlagMessageRequested = true;
  Download(remote::kFlagMessages, local::kFlagMessages);
}

void StartupSequence::RegisterComputer() {
  std::error_code ignored;
  std::filesystem::create_directories(Local(local::kDataFolder), ignored);
  const std::filesystem::path userList = Local(local::kUserList);

  // The marker is written before the list is fetched, so this computer is offered for counting on
  // its first run only. The flag in memory keeps a marker that cannot be written from fetching the
  // list over and over.
  if (!userListRequested_ && !FileExists(Local(local::kCountedMarker))) {
    view_.ShowNotice(StartupNotice::Inet_information, true);
    view_.ShowNotice(StartupNotice::Användarnummer_info, true);
    WriteFileAtomically(Local(local::kCountedMarker), local::kCountedMarkerText);
    userListRequested_ = true;
    Download(remote::kUserList, local::kUserList);
    return;
  }

  if (FileExists(userList)) {
    // The download replaces the file only once the whole list has arrived (and any older copy
    // was removed before it), so a list that is here is complete. An unreadable one counts as
    // absent: nothing is counted and nothing is sent back.
    const auto list = ReadFileBytes(userList);
    if (!list || UserListContains(*list, computerName_)) {
      RemoveFile(userList);
      view_.ShowNotice(StartupNotice::Inet_information, false);
      oFTP_TransferCompleted();
      return;
    }

    view_.SetUserCountText(W("Vimo har nu ") + std::to_string(CountUsers(*list)) + W(" användare!"));
    services_.pump.ProcessEvents();
    if (Stopped()) return;
    services_.waiter.Wait(kUserCountNoticeMs);

    const std::filesystem::path upload = Local(local::kUserListUpload);
    const bool prepared = WriteFileAtomically(upload, UserListWithName(*list, computerName_));
    RemoveFile(userList);
    if (!prepared) {
      RemoveFile(upload);
      view_.ShowNotice(StartupNotice::Inet_information, false);
      oFTP_TransferCompleted();
      return;
    }
    // The completion of this upload runs the hand-over, nested inside the call.
    Upload(local::kUserListUpload, remote::kUserList);
    RemoveFile(upload);
    if (outcome_ == Outcome::Running) view_.ShowNotice(StartupNotice::Inet_information, false);
    return;
  }

  HandOverToMainWindow();
}

void StartupSequence::HandOverToMainWindow() {
  MoveCar(3800);
  view_.Check(StartupCheck::Steg3_chk);
  oFTP->CloseConnection();
  if (Stopped()) return;
  outcome_ = Outcome::HandedOver;
  view_.HandOver();
}

void StartupSequence::oFTP_ErrorMsg(const std::string& sErr) {
  if (Stopped()) return;
  if (sErr == kUnknownError && UnknownErrorsIgnored < kUnknownErrorsToIgnore) {
    ++UnknownErrorsIgnored;
    return;
  }
  view_.PrintLine("Error: " + sErr);
  if (values_.StartErrorShown) {
    values_.StartErrorShown = false;
    return;
  }
  values_.StartErrorShown = true;
  services_.dialogs.Show(W("Vimo - Fel!"), NoInternetText(), DialogButtons::Ok);
}

void StartupSequence::oFTP_StatusMsg(const std::string& Msg) {
  if (Stopped()) return;
  view_.PrintLine(Msg);
}

void StartupSequence::oFTP_TransferProgress(int32_t, double, double) {
  if (Stopped()) return;
  MoveCar(carLeft_ + kCarStepTwips);
}

void StartupSequence::Abandon() {
  if (Stopped()) return;
  outcome_ = Outcome::Ended;
}

void StartupSequence::Download(std::string_view remoteName, std::string_view localName, KeepOldCopy keep) {
  // CFtp reports a failed download only after its completion has already run the next step, and
  // leaves the old local file in place. A stale copy from an interrupted earlier run must not pass
  // for the new one: an old brain would overwrite the server backups, an old version record could
  // start the updater, an old user list could be sent back over the server's.
  if (keep == KeepOldCopy::No) RemoveFile(Local(localName));
  oFTP->GetFile(std::string(remoteName), Local(localName), false);
}

void StartupSequence::Upload(std::string_view localName, std::string_view remoteName) {
  oFTP->PutFile(Local(localName), std::string(remoteName));
}

std::filesystem::path StartupSequence::Local(std::string_view utf8Name) const {
  return LocalFile(folder_, utf8Name);
}

void StartupSequence::MoveCar(int leftTwips) {
  carLeft_ = leftTwips;
  view_.MoveCar(leftTwips);
}

void StartupSequence::ShowRestoreFailure() {
  const DialogAnswer answer =
      services_.dialogs.Show(W("Återställningen misslyckades!"), RestoreFailureText(), DialogButtons::YesNo);
  if (Stopped()) return;
  if (answer == DialogAnswer::Yes) services_.desktop.OpenUrl(ErrorReportAddress());
  EndProgram();
}

void StartupSequence::EndProgram() {
  outcome_ = Outcome::Ended;
  view_.EndProgram();
}
