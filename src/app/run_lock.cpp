#include "app/run_lock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/maker_web.h"
#include "platform/core/process.h"
#include "platform/core/run_lock_file.h"
#include "store/folders.h"

namespace tw {

namespace {

constexpr std::size_t kRecordBytes = 8;           // two little-endian 32-bit integers
constexpr std::int32_t kClockAgreementMs = 2000;  // a record whose two clocks disagree is noise
constexpr int kPauseBetweenQuestionsMs = 600;

int g_fd = -1;
std::string g_path;

void PutLittleEndian(std::string* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

std::uint32_t GetLittleEndian(const std::string& in, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= std::uint32_t(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return v;
}

// The start time in seconds and in milliseconds (low 32 bits), as the record keeps them.
void Clocks(std::int64_t now_us, std::uint32_t* seconds, std::uint32_t* ms) {
    const std::int64_t s = now_us / 1000000;
    *seconds = static_cast<std::uint32_t>(s);
    *ms = static_cast<std::uint32_t>(s * 1000 + (now_us % 1000000) / 1000);
}

std::string FallbackPath() {
    return JoinPath(GetProgramDataFolder(), "run-lock");
}

void AskWhatHappened(const RunLockPrompts& prompts) {
    const std::string title = "Abnormal Termination Detected";
    if (!prompts.ask) return;
    if (!prompts.ask(title,
                     "Did Tunewright Musical Instrument Tuner hang or crash when last run?\r\n\r\n"
                     "Click 'It Crashed' if the program failed. Click 'Something Else' if it was "
                     "because of something else (a hard logoff for example) or if you did not "
                     "notice anything wrong or don't remember.",
                     "It Crashed", "Something Else")) {
        return;
    }
    if (prompts.wait) prompts.wait(kPauseBetweenQuestionsMs);
    if (!prompts.ask(title,
                     "Would you be willing to complete an Orvane Software Bug Report so our "
                     "programmers can try to fix this? Please click 'Report Bug' and then enter "
                     "the field to tell us exactly what you did so we can attempt to repeat it "
                     "and fix it.",
                     "Report Bug", "No")) {
        return;
    }
    const process::SystemVersion system = process::GetSystemVersion();
    char minor[8];
    std::snprintf(minor, sizeof minor, "%02d", system.minor);
    if (prompts.openUrl) {
        prompts.openUrl(BugReportUrl("AbTermOrHang-Mac" + std::to_string(system.major) + minor));
    }
}

void RemoveAtExit() {
    RemoveRunLock();
}

}  // namespace

std::string RunLockPath() {
    return "/var/tmp/_tunewright_rl_" + GetUserName();
}

void CreateRunLock(const RunLockPrompts& prompts, std::int64_t now_us) {
    static const bool registered = std::atexit(&RemoveAtExit) == 0;
    (void)registered;
    if (g_fd >= 0) return;
    std::uint32_t s1 = 0;
    std::uint32_t m1 = 0;
    Clocks(now_us, &s1, &m1);
    std::string record;
    PutLittleEndian(&record, s1);
    PutLittleEndian(&record, m1);

    for (const std::string& path : {RunLockPath(), FallbackPath()}) {
        int fd = -1;
        switch (CreateHeldLockFile(path, record, &fd)) {
            case LockFileState::kCreated:
                g_fd = fd;
                g_path = path;
                return;
            case LockFileState::kExists:
                break;
            default:
                return;  // no detection this run (an unwritable folder, say)
        }
        std::string previous;
        switch (ReadStaleLockFile(path, kRecordBytes, &previous)) {
            case LockFileState::kForeign:
                continue;  // not ours: use the user's own folder
            case LockFileState::kStale:
                break;
            default:
                return;  // another copy of the program holds it, or it vanished meanwhile
        }
        RemoveLockFile(path);
        // A short record gives no start time: it is only removed.
        if (previous.size() < kRecordBytes) return;
        const std::uint32_t s0 = GetLittleEndian(previous, 0);
        const std::uint32_t m0 = GetLittleEndian(previous, 4);
        // In 32-bit wrap-around arithmetic: m1 must lie within 2 s of (s1 - s0) * 1000 + m0.
        const std::uint32_t expected = (s1 - s0) * 1000u + m0;
        const auto difference = static_cast<std::int32_t>(m1 - expected);
        if (difference > -kClockAgreementMs && difference < kClockAgreementMs) {
            AskWhatHappened(prompts);
        }
        return;  // the next start creates the run lock again
    }
}

void CreateRunLock(const RunLockPrompts& prompts) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    CreateRunLock(prompts, std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

void RemoveRunLock() {
    if (g_fd < 0) return;
    RemoveLockFile(g_path);
    CloseLockFile(g_fd);
    g_fd = -1;
    g_path.clear();
}

bool HoldsRunLock(std::string* path) {
    if (path) *path = g_path;
    return g_fd >= 0;
}

}  // namespace tw
