#pragma once
// The checkpoint side of `device write`: a checkpoint after each page the device acknowledged,
// removed when the write ends well, and --resume, which goes on after the checkpoint's page when the
// image and the device are the ones it names. The messages on the error output are this tool's; the
// rules are app::ResumableWrite's.

#include "app/resumable_write.h"

#include <cstdint>
#include <string>

namespace cli {

class DeviceSession;

class WriteResume {
  public:
    WriteResume(DeviceSession& session, bool resume);

    // Before the write, with the image narrowed to the window. Without --resume a checkpoint of an
    // earlier write is dropped (this write erases the device again). With it the checkpoint must
    // match; then the pages done are left out of the image and the write's preparation keeps from
    // erasing them. False after a message when the resume is refused.
    bool prepare();
    // The device acknowledged this page.
    void pageDone(int32_t page, uint32_t address);
    // The write ended; a good end removes the checkpoint.
    void finish(bool ok);

  private:
    bool refuse(const std::string& why);

    DeviceSession& m_session;
    bool m_resume;
    app::ResumableWrite m_write;
    bool m_saveFailed = false;
};

} // namespace cli
