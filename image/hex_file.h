#pragma once
// THEXFile: the memory image the program works with: everything of the levels below plus Intel
// HEX files and file-type detection.
//
// Loading: LoadFromFile picks the reader by FileType (detecting it on request); afterwards
// FileType tells how the contents were loaded (kFileTypeEnvelope when the bytes were an envelope).
// A non-appending load that fails leaves what the reader had placed (the caller clears the
// image); an appending load ("load at address") that fails leaves the image exactly as it was.
//
// Saving: SaveHexFile and SaveBinaryFile write through a temporary file renamed over the target
// and never change the image; an envelope is saved as an envelope.

#include "image/dump_q7r_encoded_file.h"
#include "image/file_type.h"

#include <functional>
#include <memory>

namespace image {

class THEXFile : public TDUMPq7rEncodedFile {
  public:
    THEXFile() : THEXFile(kMaxImageSize) {}
    explicit THEXFile(int32_t capacity);
    uint8_t FileType = 0; // kFileType* of the last load

    // fileType: kFileTypeHex, kFileTypeBinary, kFileTypeEnvelope or kFileTypeDetect. address: start of
    // a binary file or relocation target of an Intel HEX file; -1 = as the file says (binary at 0).
    // append: keep the contents, merge the new bytes, keep FileName.
    // Messages (UTF-8): "Не могу открыть файл: " + path (with the reason), "Файл поврежден :" + path
    // (damaged set), "Формат MAPBIN не поддерживается: " + path.
    // Appending only: `accept`, when given, sees the merged contents before they replace the image;
    // when it says false the image stays exactly as it was and the result is a failure without a message.
    FileResult LoadFromFile(uint8_t fileType, int32_t address, bool append, const std::string& fileName,
                            const std::function<bool(const THEXFile&)>& accept = {});
    // Intel HEX: data records at their addresses, or moved so the first data record lands at
    // `address` when it is >= 0. Fails on a line without ':', a bad digit, a short line, a wrong
    // data checksum or a data byte at or above 0x800000; records before the bad line stay loaded.
    FileResult LoadHexFile(int32_t address, const std::string& fileName, bool append);
    // The saved image as Intel HEX text (see intel_hex_writer.h). Message: "Не могу сохранить файл: " + path.
    FileResult SaveHexFile(const std::string& fileName);

  private:
    // Copies of the state, used to undo a load on top of the contents. Not for other users: an image
    // is one object for the whole run.
    THEXFile(const THEXFile&) = default;
    THEXFile& operator=(const THEXFile&) = default;
    THEXFile(THEXFile&&) = default;
    THEXFile& operator=(THEXFile&&) = default;

    // A copy of everything but the byte buffers, which stay here.
    std::unique_ptr<THEXFile> stateWithoutBytes();
    // Puts back the bytes the journal kept and then the state from before.
    void undoLoad(THEXFile& before, ByteJournal& journal);
    FileResult loadInPlace(uint8_t fileType, int32_t address, bool append, const std::string& fileName);
    FileResult loadFailure(const std::string& fileName, const std::string& reason) const;
};

} // namespace image
