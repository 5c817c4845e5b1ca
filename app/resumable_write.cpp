#include "app/resumable_write.h"

#include "app/device_session.h"
#include "app/main_state.h"
#include "app/settings_store.h"
#include "exchange/operation_sequencer.h"
#include "image/dump_versioned_file.h"

#include <algorithm>

namespace app {

ResumableWrite::ResumableWrite(DeviceSession& session) : m_session(session) {}

void ResumableWrite::describeWrite() {
    const DeviceSurroundings& around = m_session.surroundings();
    m_session.host().applyPortSettings();
    m_pageSize = m_session.host().pageSize();
    const std::string port = m_session.comm().DevicePath();
    m_path = checkpointPath(around.settings.path(), port, around.state.deviceAddress);
    m_checkpoint = {around.image.CRC,
                    around.image.StartAddr,
                    around.image.EndAddr,
                    around.state.deviceAddress,
                    around.state.activeProfile,
                    port,
                    -1,
                    0};
}

void ResumableWrite::startAfresh() {
    describeWrite();
    removeCheckpoint(m_path);
}

std::optional<ResumeRefusal> ResumableWrite::resume() {
    describeWrite();
    const auto saved = loadCheckpoint(m_path);
    if (!saved)
        return ResumeRefusal::NoCheckpoint;
    if (saved->imageCrc != m_checkpoint.imageCrc || saved->imageStart != m_checkpoint.imageStart ||
        saved->imageEnd != m_checkpoint.imageEnd)
        return ResumeRefusal::OtherImage;
    if (saved->profile != m_checkpoint.profile) {
        m_checkpoint.profile = saved->profile;
        return ResumeRefusal::OtherProfile;
    }
    m_checkpoint = *saved;
    leaveOutPagesDone();
    skipEraseSteps();
    return std::nullopt;
}

// The pages done are no longer part of this write.
void ResumableWrite::leaveOutPagesDone() {
    image::TDUMPVersionedFile& image = m_session.surroundings().image;
    const std::int64_t end = std::min<std::int64_t>(nextAddress(), std::int64_t(image.EndAddr) + 1);
    for (std::int64_t a = image.StartAddr; a < end; ++a) {
        std::uint8_t& filled = image.Filled[static_cast<std::size_t>(a)];
        m_leftOut.push_back(filled);
        filled = 0;
    }
}

// The write's preparation list without the steps it shares with the erase list, except a first
// step both lists begin with (the unlock).
void ResumableWrite::skipEraseSteps() {
    auto& lists = m_session.protocol().ActionLists;
    if (lists.size() <= static_cast<std::size_t>(exchange::kListErase))
        return;
    const auto& erase = lists[exchange::kListErase].StepCommands;
    auto& before = lists[exchange::kListBeforeWrite];
    m_stepsEnabled.assign(before.StepEnabled.begin(), before.StepEnabled.end());
    for (std::size_t i = 0; i < before.StepCommands.size() && i < before.StepEnabled.size(); ++i) {
        const std::int32_t command = before.StepCommands[i];
        const bool sharedUnlock = i == 0 && !erase.empty() && erase.front() == command;
        if (!sharedUnlock && std::find(erase.begin(), erase.end(), command) != erase.end())
            before.StepEnabled[i] = 0;
    }
}

base::WriteResult ResumableWrite::pageDone(std::int32_t page, std::uint32_t address) {
    if (m_path.empty())
        return {};
    m_checkpoint.lastPage = page;
    m_checkpoint.lastAddress = address;
    // A sync per page took longer than the page's exchange; the last one is synced when the write
    // breaks off.
    return saveCheckpoint(m_path, m_checkpoint, base::Durability::Unsynced);
}

void ResumableWrite::finish(bool ok) {
    if (ok && !m_path.empty())
        removeCheckpoint(m_path);
    // A failure here was told by pageDone already.
    if (!ok && !m_path.empty() && m_checkpoint.lastPage >= 0)
        (void)saveCheckpoint(m_path, m_checkpoint);
    if (!m_leftOut.empty()) {
        image::TDUMPVersionedFile& image = m_session.surroundings().image;
        std::copy(m_leftOut.begin(), m_leftOut.end(), image.Filled.data() + m_checkpoint.imageStart);
        m_leftOut.clear();
        const exchange::FlashWindow window = m_session.host().flashWindow();
        m_session.host().narrowImage(window.start, window.end);
    }
    if (!m_stepsEnabled.empty()) {
        auto& enabled = m_session.protocol().ActionLists[exchange::kListBeforeWrite].StepEnabled;
        std::copy(m_stepsEnabled.begin(), m_stepsEnabled.end(), enabled.begin());
        m_stepsEnabled.clear();
    }
}

} // namespace app
