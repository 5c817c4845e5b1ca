#pragma once
// The fixed pieces of the protocol description file shared by its reader and writer. Byte strings
// are code page 1251 (here plain ASCII).

#include <string_view>

namespace protocol::vpdf {

inline constexpr std::string_view kMagic{"PRTCL\0", 6};
inline constexpr std::string_view kTagComment = "\r\n<COMMENT>\r\n";
inline constexpr std::string_view kTagCommands = "\r\n<CMDLIST>\r\n";
inline constexpr std::string_view kTagActionLists = "\r\n<VLMActsList>\r\n";
inline constexpr std::string_view kTagIgnoreLists = "\r\n<IgnoreLists>\r\n";
inline constexpr std::string_view kTagExceptions = "\r\n<Exceptions>\r\n";
inline constexpr std::string_view kTagCrc = "\r\n<CRC information>\r\n";

// The longest short string, the longest per-step list and the longest comment (255 pieces).
inline constexpr size_t kMaxShortString = 255;
inline constexpr size_t kMaxStepListLength = 255;
inline constexpr size_t kMaxCommentBytes = 255 * 255;

} // namespace protocol::vpdf
