#include "cli/write_resume.h"

#include "cli/device_session.h"
#include "exchange/operation_sequencer.h"

#include <algorithm>
#include <cstdio>

namespace cli {

WriteResume::WriteResume(DeviceSession& session, bool resume) : m_session(session), m_resume(resume) {}

bool WriteResume::refuse(const std::string& why) {
    std::fprintf(stderr, "device write: --resume: %s (%s)\n", why.c_str(), m_path.c_str());
    return false;
}

bool WriteResume::prepare() {
    // A dry run plans the whole write and leaves the checkpoint of a real one alone.
    if (m_session.dryRun())
        return true;
    image::THEXFile& image = m_session.image();
    m_session.host().applyPortSettings();
    m_path =
        app::checkpointPath(m_session.settings().path(), m_session.portPath(), m_session.deviceAddress());
    m_checkpoint = {image.CRC,
                    image.StartAddr,
                    image.EndAddr,
                    m_session.deviceAddress(),
                    m_session.profile(),
                    m_session.portPath(),
                    -1,
                    0};
    if (!m_resume) {
        app::removeCheckpoint(m_path);
        return true;
    }
    const auto saved = app::loadCheckpoint(m_path);
    if (!saved)
        return refuse("no checkpoint of a write to address " + std::to_string(m_session.deviceAddress()) +
                      " over " + m_session.portPath());
    if (saved->imageCrc != image.CRC || saved->imageStart != image.StartAddr ||
        saved->imageEnd != image.EndAddr)
        return refuse("the checkpoint was made for another firmware image");
    if (saved->profile != m_session.profile())
        return refuse("the checkpoint was made with profile '" + saved->profile + "'");
    const uint32_t next = saved->lastAddress + m_session.host().pageSize();
    // The pages done are no longer part of this write.
    for (int64_t a = image.StartAddr; a < static_cast<int64_t>(next) && a <= image.EndAddr; ++a)
        image.Filled[static_cast<size_t>(a)] = 0;
    m_checkpoint = *saved;
    skipEraseSteps();
    std::fprintf(stderr, "device write: resuming after page %d, from 0x%08X\n", saved->lastPage,
                 static_cast<unsigned>(next));
    return true;
}

// The write's preparation list without the steps it shares with the erase list, except a first
// step both lists begin with (the unlock).
void WriteResume::skipEraseSteps() {
    auto& lists = m_session.protocol().ActionLists;
    if (lists.size() <= static_cast<size_t>(exchange::kListErase))
        return;
    const auto& erase = lists[exchange::kListErase].StepCommands;
    auto& before = lists[exchange::kListBeforeWrite];
    for (size_t i = 0; i < before.StepCommands.size() && i < before.StepEnabled.size(); ++i) {
        const int32_t command = before.StepCommands[i];
        const bool sharedUnlock = i == 0 && !erase.empty() && erase.front() == command;
        if (!sharedUnlock && std::find(erase.begin(), erase.end(), command) != erase.end())
            before.StepEnabled[i] = 0;
    }
}

void WriteResume::pageDone(int32_t page, uint32_t address) {
    if (m_path.empty())
        return;
    m_checkpoint.lastPage = page;
    m_checkpoint.lastAddress = address;
    std::string error;
    if (!app::saveCheckpoint(m_path, m_checkpoint, error) && !m_saveFailed) {
        m_saveFailed = true;
        std::fprintf(stderr, "device write: no checkpoint for a resume: %s\n", error.c_str());
    }
}

void WriteResume::finish(bool ok) {
    if (ok && !m_path.empty())
        app::removeCheckpoint(m_path);
}

} // namespace cli
