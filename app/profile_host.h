#pragma once
// What applying a profile asks of the rest of the program: the memory image, the address field, the
// file-watch timer and the current file. The desktop implements it over its window; a headless caller
// may implement only what it has. Texts are UTF-8.

#include "base/crc_presets.h"

#include <cstdint>
#include <string>

namespace app {

class ProfileHost {
  public:
    virtual ~ProfileHost() = default;
    // Hands the image CRC parameters to the memory image (SetCRCParams).
    virtual void setImageCrcParams(const base::CrcParameters& params) = 0;
    // The device address was taken from the profile; the address field shows it.
    virtual void deviceAddressChanged(std::int32_t address) { (void)address; }
    // Enables or disables the file-watch timer.
    virtual void setFileWatch(bool enabled) { (void)enabled; }
    // The name of the current file, possibly empty.
    virtual std::string currentFileName() const { return {}; }
    // "Reload last file" of a profile switch: the memory image is cleared and the current file, when
    // there is one and it exists, loaded again with its own file type (never switching the profile by
    // file type). Contents not saved anywhere are replaced only after the user agreed; a refusal keeps
    // them and counts as success. False when the current file is to be forgotten.
    virtual bool reloadCurrentFile() { return false; }
    // The reload did not happen or failed: the current file name becomes empty and the reload action
    // is disabled.
    virtual void forgetCurrentFile() {}
};

} // namespace app
