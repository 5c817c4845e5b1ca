#pragma once
// TDUMPq7rEncodedFile: the memory image that recognises a packed envelope after every load,
// decodes it into the image and checks it, and encodes it again when the image is saved.
//
// Recognition is by content: loaded bytes that begin with "KTLA" are an envelope. A packed
// envelope (byte 112 = 1) is unpacked into the image from address 0; an unpacked one stays in the
// image as loaded. A load fails when the envelope's fields point outside the loaded bytes, when
// the container's CRC fails (Damaged() is then set and stays set through Update until the next
// load or Clear) and when the data cannot be unpacked or would not fit the image.
//
// Saving never changes the image: the envelope is encoded into a scratch buffer and that is
// written. BeforeSave fails when the encoded envelope would not fit below 0x800000.

#include "image/dump_versioned_file.h"
#include "image/envelope_format.h"

namespace image {

class TDUMPq7rEncodedFile : public TDUMPVersionedFile {
  public:
    TDUMPq7rEncodedFile() : TDUMPq7rEncodedFile(kMaxImageSize) {}
    explicit TDUMPq7rEncodedFile(int32_t capacity);

    ImageBuffer RawData{static_cast<size_t>(kMaxImageSize)}; // the loaded envelope bytes
    int32_t RawLength = 0;                                   // valid bytes in RawData
    bool Packed = false;                                     // byte 112 was 1
    EnvelopeHeader Header{};                                 // decoded header text, space padded (cp1251)
    VersionRecord EnvVersion = emptyVersionRecord();         // record from a packed envelope's header
    bool IsEnvelope = false;                                 // the loaded bytes were an accepted envelope

    // Decodes an envelope (see above), then the versioned AfterLoad. False when the envelope
    // cannot be decoded; the image then holds the loaded bytes and IsEnvelope is false.
    bool AfterLoad() override;
    // Encodes the envelope into the scratch buffer the save writes; plain images are saved as
    // they stand. False when the encoded envelope would exceed 0x800000 bytes.
    bool BeforeSave() override;
    // Envelope: the image CRC and Damaged := the record's ImageCRC differs from the envelope CRC.
    // Otherwise the versioned check (Damaged also stays set after a container CRC failure).
    void CheckImage() override;
    // Also forgets the envelope: what follows is a plain image until an envelope is loaded again.
    void Clear() override;
    // Packed: VersionPos 0 and the header's record (-1 when the header holds none); unpacked: the record
    // coded at 36 (VersionPos 36) or none; otherwise the record inside the image.
    void FindVersion() override;
    // Packed: EnvVersion := Version; unpacked: Version coded into target[36..99]; otherwise the
    // versioned write-back.
    void WriteVersion(std::span<uint8_t> target) override;
    // Treats the contents as a plain image from now on (the decoded firmware of a packed envelope,
    // the bytes of an unpacked one between its fields and its list block, at their addresses); a save
    // then writes the bytes as they stand.
    void DropEnvelope();
    // Runs AfterLoad again on the current contents.

    // The last load failed because the packed envelope's container CRC does not match.
    bool containerDamaged() const { return m_containerDamaged; }
    // Why the last decode failed (UTF-8), empty when it did not.
    const std::string& decodeError() const { return m_decodeError; }

  protected:
    TDUMPq7rEncodedFile(const TDUMPq7rEncodedFile&) = default;
    TDUMPq7rEncodedFile& operator=(const TDUMPq7rEncodedFile&) = default;
    TDUMPq7rEncodedFile(TDUMPq7rEncodedFile&&) = default;
    TDUMPq7rEncodedFile& operator=(TDUMPq7rEncodedFile&&) = default;

  private:
    bool m_envRecordFound = false; // the packed envelope's header held a record (markers in place)
    bool decodeEnvelope();
    void forgetEnvelope();
    void findEnvelopeList(uint32_t listAt);
    bool encodePacked();
    bool encodeUnpacked();

    bool m_containerDamaged = false;
    std::string m_decodeError;
};

} // namespace image
