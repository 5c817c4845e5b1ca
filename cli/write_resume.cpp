#include "cli/write_resume.h"

#include "base/write_failure_text.h"
#include "cli/device_session.h"

#include <cstdio>

namespace cli {

WriteResume::WriteResume(DeviceSession& session, bool resume)
    : m_session(session), m_resume(resume), m_write(session.device()) {}

bool WriteResume::refuse(const std::string& why) {
    std::fprintf(stderr, "device write: --resume: %s (%s)\n", why.c_str(), m_write.path().c_str());
    return false;
}

bool WriteResume::prepare() {
    // A dry run plans the whole write and leaves the checkpoint of a real one alone.
    if (m_session.dryRun())
        return true;
    if (!m_resume) {
        m_write.startAfresh();
        return true;
    }
    const auto refusal = m_write.resume();
    if (refusal == app::ResumeRefusal::NoCheckpoint)
        return refuse("no checkpoint of a write to address " + std::to_string(m_session.deviceAddress()) +
                      " over " + m_session.portPath());
    if (refusal == app::ResumeRefusal::OtherImage)
        return refuse("the checkpoint was made for another firmware image");
    if (refusal == app::ResumeRefusal::OtherProfile)
        return refuse("the checkpoint was made with profile '" + m_write.checkpoint().profile + "'");
    std::fprintf(stderr, "device write: resuming after page %d, from 0x%08X\n", m_write.checkpoint().lastPage,
                 static_cast<unsigned>(m_write.nextAddress()));
    return true;
}

void WriteResume::pageDone(int32_t page, uint32_t address) {
    const base::WriteResult saved = m_write.pageDone(page, address);
    if (!saved.ok() && !m_saveFailed) {
        m_saveFailed = true;
        std::fprintf(stderr, "device write: no checkpoint for a resume: %s\n",
                     base::writeFailureTextEnglish(saved).c_str());
    }
}

void WriteResume::finish(bool ok) {
    m_write.finish(ok);
}

} // namespace cli
