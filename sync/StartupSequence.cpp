#include "StartupSequence.h"

#include <system_error>

#include "BrainStore.h"
#include "EveryOtherError.h"
#include "LessonJournal.h"
#include "ServerLayout.h"
#include "SharedBrain.h"
#include "SharedFiles.h"
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
  oFTP->SetTls(settings_.tls);
  oFTP->SetTlsMemory(Local(kTlsMemoryFile));
  const bool connected = oFTP->Connect(settings_.host, settings_.user, settings_.password, "");
  if (Stopped()) return;
  view_.StopTimer();
  oFTP->TransferType(1);

  // Without the probe page the account is not the one the program expects (or not reachable):
  // nothing to download, and waiting would not change that.
  const bool serverAnswers = connected && oFTP->FileExist(std::string(remote::kIndexPage));
  if (Stopped()) return;
  if (!serverAnswers) {
    FailStart();
    return;
  }
  const bool brainPresent = oFTP->FileExist(std::string(remote::kBrain));
  if (Stopped()) return;
  if (!brainPresent) {
    RunFrom(Step::RestoreBrain);
    return;
  }
  if (!Download(remote::kBrain, local::kBrain)) {
    // A brain that did not arrive whole is not a damaged brain: no restore, no backup, and this
    // session never has a brain to upload.
    RemoveFile(Local(local::kBrain));
    FailStart();
    return;
  }
  RunFrom(Step::CheckBrain);
}

void StartupSequence::oFTP_TransferCompleted() {
  // Each step makes its transfer and learns its outcome itself; a completion reported from
  // outside the machine moves it on only where it stands waiting.
  if (Stopped() || running_ || next_ == Step::Done) return;
  RunFrom(next_);
}

void StartupSequence::RunFrom(Step step) {
  running_ = true;
  while (step != Step::Done) {
    next_ = step;
    services_.pump.ProcessEvents();
    if (Stopped()) break;
    step = Run(step);
    if (Stopped()) break;
  }
  next_ = Stopped() ? Step::Done : step;
  running_ = false;
}

StartupSequence::Step StartupSequence::Run(Step step) {
  switch (step) {
    case Step::CheckBrain:
      return CheckBrain();
    case Step::RestoreBrain:
      return RestoreBrain();
    case Step::RefreshBackups:
      return RefreshServerBackups();
    case Step::RequestVersion:
      return RequestVersionRecord();
    case Step::CheckVersion:
      return CheckVersion();
    case Step::FetchHolidayImage:
      return FetchHolidayImage();
    case Step::FetchFlagMessages:
      return FetchFlagMessages();
    case Step::FetchUserList:
      return FetchUserList();
    case Step::CountComputer:
      return CountComputer();
    case Step::HandOver:
      return HandOverToMainWindow();
    case Step::Done:
      break;
  }
  return Step::Done;
}

StartupSequence::Step StartupSequence::CheckBrain() {
  // An absent or unreadable "brain.txt" has no records, so it is restored like a small one.
  BrainRecords counted;
  RootListing listing;
  const bool whole = CheckDownloadedBrain(counted, listing);
  if (Stopped()) return Step::Done;
  if (!whole) {
    RemoveFile(Local(local::kBrain));
    return Step::RestoreBrain;
  }
  MoveCar(1000);
  view_.Check(StartupCheck::Steg1_chk);
  // Without this backup the second one is not refreshed either: both keep what they hold.
  const bool backedUp = WriteBackup(remote::kBrainBackup);
  if (Stopped()) return Step::Done;
  Tolerated([&] {
    KeepGeneration(*oFTP, services_.waiter, listing, Local(local::kBrain), counted.records);
    return true;
  });
  return backedUp ? Step::RefreshBackups : Step::RequestVersion;
}

bool StartupSequence::CheckDownloadedBrain(BrainRecords& counted, RootListing& listing) {
  // Without a listing only the records themselves can be judged.
  Tolerated([&] {
    auto listed = ListRootWithProbe(*oFTP, RandomHexName());
    if (listed) listing = std::move(*listed);
    return listed.has_value();
  });
  BrainCheck check(listing, QuietFetch(), Local(local::kBackupForComparison));
  return check.IsWhole(Local(local::kBrain), remote::kBrain, &counted);
}

FetchFile StartupSequence::QuietFetch() {
  return [this](const std::string& remoteName, const std::filesystem::path& localFile) {
    RemoveFile(localFile);
    const bool arrived =
        Tolerated([&] { return static_cast<bool>(oFTP->GetFile(remoteName, localFile, false)); });
    return arrived && !Stopped();
  };
}

StartupSequence::Step StartupSequence::RestoreBrain() {
  view_.ShowNotice(StartupNotice::Hjärnaförstörd_lbl1, true);
  view_.ShowNotice(StartupNotice::Hjärnaförstörd_lbl2, true);
  services_.pump.ProcessEvents();
  if (Stopped()) return Step::Done;
  services_.waiter.Wait(kRestoreNoticeMs);

  std::optional<RootListing> listing;
  Tolerated([&] {
    listing = ListRootWithProbe(*oFTP, RandomHexName());
    return listing.has_value();
  });
  if (Stopped()) return Step::Done;
  if (!listing) {
    FailStart();
    return Step::Done;
  }
  bool broken = false;
  std::error_code ignored;
  std::filesystem::create_directories(Local(local::kBackupForComparison).parent_path(), ignored);
  BrainCheck check(*listing, QuietFetch(), Local(local::kBackupForComparison));
  const auto restoredFrom = check.FetchNewestWhole(Local(local::kBrain), broken);
  if (Stopped()) return Step::Done;
  if (broken) {
    // A restore that broke off is a failed connection, not a damaged brain.
    RemoveFile(Local(local::kBrain));
    FailStart();
    return Step::Done;
  }
  if (!restoredFrom) {
    ShowRestoreFailure();
    return Step::Done;
  }
  // The restored brain goes back on the server before the chat opens, or every close would merge
  // its lessons onto the damaged one. The backups stay as they are.
  Tolerated([&] {
    std::string failure;
    if (PutBrainInPlace(*oFTP, services_.waiter, Local(local::kBrain), failure)) return true;
    view_.PrintLine("Error: " + failure);
    return false;
  });
  if (Stopped()) return Step::Done;
  MoveCar(1000);
  view_.Check(StartupCheck::Steg1_chk);
  // The backups keep what they hold: the restore came from one of them, or from something newer.
  return Step::RequestVersion;
}

bool StartupSequence::WriteBackup(std::string_view remoteName) {
  // Under a temporary name first: a full disk or a dropped connection leaves the old backup
  // whole, and no other copy ever finds a backup missing.
  return Tolerated([&] { return UploadInPlace(*oFTP, Local(local::kBrain), std::string(remoteName)); });
}

StartupSequence::Step StartupSequence::RefreshServerBackups() {
  MoveCar(2000);
  WriteBackup(remote::kBrainManualBackup);
  return Step::RequestVersion;
}

StartupSequence::Step StartupSequence::RequestVersionRecord() {
  view_.ShowNotice(StartupNotice::Hjärnaförstörd_lbl1, false);
  view_.ShowNotice(StartupNotice::Hjärnaförstörd_lbl2, false);
  MoveCar(3000);
  view_.Check(StartupCheck::Steg1_Del2_chk);
  // Without the record there is no update and no holiday; the chat works all the same.
  Tolerated([&] {
    return Download(remote::kVersionRecord, local::kVersionRecord, KeepOldCopy::No, kSmallFileMaxBytes);
  });
  return Step::CheckVersion;
}

StartupSequence::Step StartupSequence::CheckVersion() {
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
      return Step::Done;
    }
    // Without its updater the program would just vanish; the user keeps the installed version.
    view_.PrintLine(std::string("Error: ") + W("Kunde inte starta ") + kUpdaterProgramFile);
  }
  return version.IsHoliday() ? Step::FetchHolidayImage : Step::FetchFlagMessages;
}

StartupSequence::Step StartupSequence::FetchHolidayImage() {
  view_.ShowNotice(StartupNotice::Speciellbild_info, true);
  values_.HolidayToday = true;
  oFTP->TransferType(2);
  std::error_code ignored;
  std::filesystem::create_directories(Local(local::kDataFolder), ignored);
  Tolerated([&] { return Download(remote::kHolidayImage, local::kHolidayImage, KeepOldCopy::Yes); });
  return Step::FetchFlagMessages;
}

StartupSequence::Step StartupSequence::FetchFlagMessages() {
  oFTP->TransferType(1);
  services_.pump.ProcessEvents();
  if (Stopped()) return Step::Done;
  services_.waiter.Wait(kFlagMessagesPauseMs);
  view_.ShowNotice(StartupNotice::Speciellbild_info, false);
  Tolerated([&] {
    return Download(remote::kFlagMessages, local::kFlagMessages, KeepOldCopy::No, kSmallFileMaxBytes);
  });
  std::error_code ignored;
  std::filesystem::create_directories(Local(local::kDataFolder), ignored);
  // A list left by an interrupted earlier run is no download of this one.
  RemoveFile(Local(local::kUserList));
  return FileExists(Local(local::kCountedMarker)) ? Step::HandOver : Step::FetchUserList;
}

StartupSequence::Step StartupSequence::FetchUserList() {
  // The marker is written before the list is fetched, so this computer is offered for counting on
  // its first run only, whatever happens to the fetch.
  view_.ShowNotice(StartupNotice::Inet_information, true);
  view_.ShowNotice(StartupNotice::Användarnummer_info, true);
  WriteFileAtomically(Local(local::kCountedMarker), local::kCountedMarkerText);
  const bool fetched = Tolerated(
      [&] { return Download(remote::kUserList, local::kUserList, KeepOldCopy::No, kUserListMaxBytes); });
  if (!fetched) RemoveFile(Local(local::kUserList));
  return Step::CountComputer;
}

StartupSequence::Step StartupSequence::CountComputer() {
  // Only a list that arrived whole is here. An unreadable one counts as absent: nothing is
  // counted and nothing is sent back.
  const std::filesystem::path userList = Local(local::kUserList);
  const auto list = FileExists(userList) ? ReadFileBytes(userList) : std::nullopt;
  RemoveFile(userList);
  if (list && !UserListContains(*list, computerName_)) {
    view_.SetUserCountText(W("Vimo har nu ") + std::to_string(CountUsers(*list)) + W(" användare!"));
    services_.pump.ProcessEvents();
    if (Stopped()) return Step::Done;
    services_.waiter.Wait(kUserCountNoticeMs);
    RegisterUnderLock();
    if (Stopped()) return Step::Done;
  }
  view_.ShowNotice(StartupNotice::Inet_information, false);
  return Step::HandOver;
}

void StartupSequence::RegisterUnderLock() {
  // Appended to the list as it is on the server now, under the lock, so that computers counted by
  // other copies meanwhile stay in it.
  Tolerated([&] {
    ServerLock lock(*oFTP, services_.waiter);
    if (!lock.Acquire()) {
      view_.PrintLine("Error: " + lock.failure());
      return false;
    }
    const std::filesystem::path fresh = Local(local::kUserList);
    if (!Download(remote::kUserList, local::kUserList, KeepOldCopy::No, kUserListMaxBytes)) {
      RemoveFile(fresh);
      return false;
    }
    const auto current = ReadFileBytes(fresh);
    RemoveFile(fresh);
    if (!current) return false;
    if (UserListContains(*current, computerName_)) return true;
    const std::filesystem::path upload = Local(local::kUserListUpload);
    bool sent =
        WriteFileAtomically(upload, UserListWithName(*current, computerName_)) &&
        UploadInPlace(*oFTP, upload, std::string(remote::kUserList), [&] { return lock.StillHeld(); });
    RemoveFile(upload);
    return sent;
  });
}

StartupSequence::Step StartupSequence::HandOverToMainWindow() {
  MoveCar(3800);
  view_.Check(StartupCheck::Steg3_chk);
  oFTP->CloseConnection();
  if (Stopped()) return Step::Done;
  // Lessons that have not reached the server yet (a crash, a failed upload) belong in this
  // session's brain too; they go up with the next close.
  ApplyLessons(Local(local::kBrain), LessonJournal(Local(kLessonJournalFile)).Read());
  outcome_ = Outcome::HandedOver;
  view_.HandOver();
  return Step::Done;
}

void StartupSequence::oFTP_ErrorMsg(const std::string& sErr) {
  if (Stopped()) return;
  if (sErr == kUnknownError && UnknownErrorsIgnored < kUnknownErrorsToIgnore) {
    ++UnknownErrorsIgnored;
    return;
  }
  view_.PrintLine("Error: " + sErr);
  if (quiet_) return;
  if (EveryOtherError(values_.StartErrorShown).DialogDue())
    services_.dialogs.Show(W("Vimo - Fel!"), NoInternetText(), DialogButtons::Ok);
}

bool StartupSequence::Tolerated(const std::function<bool()>& call) {
  const bool wasQuiet = quiet_;
  quiet_ = true;
  const bool result = call();
  quiet_ = wasQuiet;
  return result;
}

void StartupSequence::FailStart() {
  if (Stopped()) return;
  // The error's own report may have fallen on the silent turn; the user must still learn why the
  // program ends.
  EveryOtherError rule(values_.StartErrorShown);
  if (!rule.LastShown()) {
    rule.MarkShown();
    services_.dialogs.Show(W("Vimo - Fel!"), NoInternetText(), DialogButtons::Ok);
    if (Stopped()) return;
  }
  EndProgram();
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

bool StartupSequence::Download(std::string_view remoteName, std::string_view localName, KeepOldCopy keep,
                               std::uint64_t maxBytes) {
  // A stale copy from an interrupted earlier run must not pass for the new one: an old brain would
  // overwrite the server backups, an old version record could start the updater, an old user list
  // could be sent back over the server's.
  if (keep == KeepOldCopy::No) RemoveFile(Local(localName));
  CapDownloads(*oFTP, maxBytes);
  const FtpOutcome arrived = oFTP->GetFile(std::string(remoteName), Local(localName), false);
  if (Stopped()) return false;
  CapDownloads(*oFTP, 0);
  return arrived && !Stopped();
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
