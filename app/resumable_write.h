#pragma once
// The checkpoint side of a device write, for the window and velmora-cli alike: a checkpoint after
// each page the device acknowledged, removed when the write ends well, and a resume that goes on
// after the checkpoint's page when the image and the device are the ones it names. The shell words
// the refusals and asks the user.

#include "app/write_checkpoint.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace app {

class DeviceSession;

enum class ResumeRefusal {
    NoCheckpoint, // none for this device and port
    OtherImage,   // made for another firmware image
    OtherProfile, // made with another profile (checkpoint().profile)
};

class ResumableWrite {
  public:
    explicit ResumableWrite(DeviceSession& session);

    // Before a write from its first page, with the image narrowed to the FLASH window: a checkpoint
    // of an earlier write is dropped, since this write erases the device again.
    void startAfresh();
    // Instead of startAfresh: the checkpoint must match; then the pages done are left out of the
    // image and the write's preparation keeps from erasing them.
    std::optional<ResumeRefusal> resume();
    // The device acknowledged this page; the result says why the checkpoint could not be saved.
    base::WriteResult pageDone(std::int32_t page, std::uint32_t address);
    // The write ended. A good end removes the checkpoint; the image and the preparation list get
    // back what a resume left out.
    void finish(bool ok);

    const std::filesystem::path& path() const { return m_path; }
    // After a resume, the checkpoint it goes on from; otherwise the last page saved (-1 before any).
    const WriteCheckpoint& checkpoint() const { return m_checkpoint; }
    // Where a resume goes on: the page after the checkpoint's.
    std::uint32_t nextAddress() const { return m_checkpoint.lastAddress + m_pageSize; }

  private:
    void describeWrite();
    void leaveOutPagesDone();
    void skipEraseSteps();

    DeviceSession& m_session;
    std::filesystem::path m_path;
    WriteCheckpoint m_checkpoint;
    std::uint32_t m_pageSize = 0;
    std::vector<std::uint8_t> m_leftOut;      // the fill flags a resume cleared, from the image start
    std::vector<std::uint8_t> m_stepsEnabled; // the preparation list's flags before a resume
};

} // namespace app
