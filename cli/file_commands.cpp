// velmora-cli info, convert, unpack and pack: firmware files through the same image the desktop
// program uses.

#include "app/settings_keys.h"
#include "app/settings_location.h"
#include "app/settings_store.h"
#include "base/codepage.h"
#include "base/number_text.h"
#include "base/write_failure_text.h"
#include "cli/cli_context.h"
#include "cli/path_arguments.h"
#include "cli/text_table.h"
#include "image/envelope_builder.h"
#include "image/envelope_format.h"
#include "image/hex_file.h"
#include "image/hex_text.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

namespace cli {
namespace {

using image::THEXFile;

std::unique_ptr<THEXFile> newImage() {
    auto file = std::make_unique<THEXFile>();
    file->SetAutoCRC(true);
    return file;
}

// The image CRC settings: the profile's when --settings or --profile is given, else the defaults.
image::ImageCrcParams crcParams(const CliContext& ctx) {
    image::ImageCrcParams params;
    if (ctx.settingsPath.empty() && ctx.profile.empty())
        return params;
    const app::SettingsStore store(app::resolveSettingsPath(ctx.settingsPath, app::programDirectory(),
                                                            app::currentSettingsEnvironment()));
    const std::string profile =
        ctx.profile.empty() ? store.readString(app::Setting::ActiveProfile) : ctx.profile;
    params.width = store.readInteger(app::Setting::CrcWidth, profile);
    params.polynom = static_cast<uint32_t>(store.readInteger(app::Setting::CrcPolynom, profile));
    params.initial = static_cast<uint32_t>(store.readInteger(app::Setting::CrcInit, profile));
    params.xorValue = static_cast<uint32_t>(store.readInteger(app::Setting::CrcXorOut, profile));
    params.reflected = store.readBool(app::Setting::CrcReflect, profile);
    params.swap = store.readBool(app::Setting::CrcSwapHiLo, profile);
    return params;
}

uint8_t typeFromName(const std::string& type) {
    if (type == "hex")
        return image::kFileTypeHex;
    if (type == "bin")
        return image::kFileTypeBinary;
    return image::kFileTypeDetect;
}

const char* typeName(uint8_t type) {
    static constexpr TextFor<uint8_t> kNames[] = {{image::kFileTypeHex, "hex"},
                                                  {image::kFileTypeEnvelope, "q7r"}};
    return textFor(type, kNames, "bin");
}

bool endsWithHex(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".hex";
}

// Loads `path`; on failure prints the message and sets the exit status.
bool load(THEXFile& file, uint8_t type, int32_t address, const std::string& path, CliContext& ctx) {
    const image::FileResult result = file.LoadFromFile(type, address, false, path);
    if (!result) {
        std::fprintf(stderr, "%s\n", result.message.c_str());
        ctx.exitCode = kExitUsage;
        return false;
    }
    return true;
}

bool save(THEXFile& file, bool asHex, const std::string& path, CliContext& ctx) {
    const image::FileResult result = asHex ? file.SaveHexFile(path) : file.SaveBinaryFile(path);
    if (!result) {
        std::fprintf(stderr, "%s\n", result.message.c_str());
        ctx.exitCode = kExitFailed;
        return false;
    }
    return true;
}

std::string crcText(const THEXFile& file) {
    return file.CRCGenerator.Width() == 16 ? image::WordToHex0x(static_cast<uint16_t>(file.CRC))
                                           : image::DWordToHex0x(file.CRC);
}

// The owner text without its padding, as UTF-8.
std::string ownerText(const image::VersionRecord& v) {
    std::string owner = v.Owner();
    while (!owner.empty() && static_cast<unsigned char>(owner.back()) <= ' ')
        owner.pop_back();
    return base::cp1251ToUtf8(owner);
}

nlohmann::json versionJson(const THEXFile& file) {
    const image::VersionRecord& v = file.Version;
    return {
        {"owner", ownerText(v)},
        {"version", image::VersionText(v)},
        {"full_version", image::FullVersionText(v)},
        {"major", v.Major()},
        {"minor", v.Minor()},
        {"build", v.Build()},
        {"release", v.Release()},
        {"date", v.Date() == image::kUnknownDate ? "??" : image::DateText(v.Date())},
        {"hwid", v.HWID()},
        {"swid", image::CalcSWID(v)},
        {"image_size", v.ImageSize()},
        {"image_crc", v.ImageCRC()},
        {"damaged", file.Damaged()},
        {"size_mismatch", file.SizeMismatch()},
    };
}

nlohmann::json infoJson(const THEXFile& file) {
    nlohmann::json segments = nlohmann::json::array();
    for (const image::Segment& s : file.Segments)
        segments.push_back({s.Start, s.Count});
    nlohmann::json json = {
        {"type", typeName(file.FileType)},
        {"packed", file.IsEnvelope && file.Packed},
        {"start", file.StartAddr},
        {"end", file.EndAddr},
        {"length", file.Length},
        {"filled", file.FilledCount},
        {"segments", segments},
        {"crc", file.CRC},
        {"crc_width", file.CRCGenerator.Width()},
        {"header", nullptr},
        {"version", nullptr},
        {"clist", file.CList},
        {"clist_bad", file.CListBad},
    };
    if (file.IsEnvelope)
        json["header"] = base::cp1251ToUtf8(image::envelopeHeaderText(file.Header));
    if (file.VersionPos >= 0 && image::IsVersionPresent(file.Version))
        json["version"] = versionJson(file);
    return json;
}

void printInfo(const THEXFile& file) {
    std::printf("type:      %s%s\n", typeName(file.FileType),
                file.IsEnvelope ? (file.Packed ? " (packed)" : " (unpacked)") : "");
    if (file.IsEnvelope)
        std::printf("header:    %s\n", base::cp1251ToUtf8(image::envelopeHeaderText(file.Header)).c_str());
    if (file.FilledCount == 0)
        std::printf("range:     none, the file is empty\n");
    else
        std::printf("range:     %s .. %s, length %s (%d), %d bytes filled\n",
                    image::AddrToHex0x(file.StartAddr).c_str(), image::AddrToHex0x(file.EndAddr).c_str(),
                    image::AddrToHex0x(file.Length).c_str(), file.Length, file.FilledCount);
    std::printf("segments:  %d\n", file.SegmentCount());
    for (const image::Segment& s : file.Segments)
        std::printf("           %s .. %s (%d bytes)\n", image::AddrToHex0x(s.Start).c_str(),
                    image::AddrToHex0x(s.Start + s.Count - 1).c_str(), s.Count);
    std::printf("crc:       %s (%d bits)\n", crcText(file).c_str(), file.CRCGenerator.Width());
    if (file.VersionPos < 0 || !image::IsVersionPresent(file.Version)) {
        std::printf("version:   none\n");
    } else {
        const image::VersionRecord& v = file.Version;
        std::printf("owner:     %s\n", ownerText(v).c_str());
        std::printf("version:   %s\n", image::FullVersionText(v).c_str());
        std::printf("hwid:      %s (revision %d, platform %d)\n", image::WordToHex0x(v.HWID()).c_str(),
                    v.HWID() & 0x0F, (v.HWID() & 0xF0) >> 4);
        std::printf("swid:      %s\n", image::DWordToHex0x(image::CalcSWID(v)).c_str());
        std::printf("size:      %u%s\n", v.ImageSize(),
                    file.SizeMismatch() ? " (does not match the image)" : "");
        std::printf("image crc: %s%s\n", image::DWordToHex0x(v.ImageCRC()).c_str(),
                    file.Damaged() ? " (damaged)" : "");
    }
    if (file.CListPos >= 0) {
        std::printf("clist:    ");
        for (uint16_t id : file.CList)
            std::printf(" %s", image::WordToHex0x(id).c_str());
        std::printf("%s\n", file.CListBad ? " (CRC bad)" : "");
    }
}

void runInfo(const std::string& path, const std::string& type, bool json, CliContext& ctx) {
    auto file = newImage();
    file->SetCRCParams(crcParams(ctx));
    if (!load(*file, typeFromName(type), -1, path, ctx))
        return;
    if (json)
        std::printf("%s\n", infoJson(*file).dump(2).c_str());
    else
        printInfo(*file);
}

void runConvert(const std::string& in, const std::string& out, const std::string& to,
                const std::optional<std::string>& at, CliContext& ctx) {
    int32_t address = -1;
    if (at) {
        // Digits only: decimal, or hexadecimal after "0x", "x" or "$".
        const std::optional<base::NumberText> number =
            base::readNumberText(*at, {base::NumberBlanks::None, false, image::kMaxImageSize - 1});
        if (!number) {
            std::fprintf(stderr, "convert: --at '%s' is not an address below 0x800000\n", at->c_str());
            ctx.exitCode = kExitUsage;
            return;
        }
        address = static_cast<int32_t>(number->magnitude);
    }
    auto file = newImage();
    if (!load(*file, image::kFileTypeDetect, address, in, ctx))
        return;
    save(*file, to.empty() ? endsWithHex(out) : to == "hex", out, ctx);
}

void runUnpack(const std::string& in, const std::string& out, CliContext& ctx) {
    auto file = newImage();
    if (!load(*file, image::kFileTypeDetect, -1, in, ctx))
        return;
    if (!file->IsEnvelope) {
        std::fprintf(stderr, "unpack: %s is not an envelope\n", in.c_str());
        ctx.exitCode = kExitUsage;
        return;
    }
    file->DropEnvelope();
    save(*file, endsWithHex(out), out, ctx);
}

void runPack(const std::string& in, const std::string& out, const std::string& header, bool unpacked,
             CliContext& ctx) {
    const std::optional<std::string> headerBytes = base::utf8ToCp1251(header);
    if (!headerBytes) {
        std::fprintf(stderr, "pack: the header text cannot be written in code page 1251\n");
        ctx.exitCode = kExitUsage;
        return;
    }
    // The envelope has room for so many; a longer header would be cut without a word.
    if (headerBytes->size() > static_cast<size_t>(image::kEnvelopeHeaderSize)) {
        std::fprintf(stderr, "pack: the header has %zu characters, at most %d fit\n", headerBytes->size(),
                     image::kEnvelopeHeaderSize);
        ctx.exitCode = kExitUsage;
        return;
    }
    auto file = newImage();
    if (!load(*file, image::kFileTypeDetect, -1, in, ctx))
        return;
    if (file->FilledCount == 0) {
        std::fprintf(stderr, "pack: %s holds no data\n", in.c_str());
        ctx.exitCode = kExitUsage;
        return;
    }
    image::EnvelopeBuildOptions options;
    options.headerCp1251 = *headerBytes;
    options.packed = !unpacked;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!image::buildEnvelope(*file, options, bytes, error)) {
        std::fprintf(stderr, "pack: %s\n", error.c_str());
        ctx.exitCode = kExitFailed;
        return;
    }
    const base::WriteResult written =
        base::writeFileAtomically(out, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    if (!written.ok()) {
        std::fprintf(stderr, "pack: cannot save %s: %s\n", out.c_str(),
                     base::writeFailureTextEnglish(written).c_str());
        ctx.exitCode = kExitFailed;
    }
}

} // namespace

void registerFileCommands(CLI::App& app, CliContext& ctx) {
    struct Options {
        std::string in, out, type = "auto", to, header;
        std::optional<std::string> at;
        bool json = false, unpacked = false;
    };
    auto o = std::make_shared<Options>();

    CLI::App* info =
        app.add_subcommand("info", "Load a firmware file and show its range, CRC and version record");
    info->add_option("FILE", o->in, "Intel HEX, binary or q7r file")->required();
    info->add_option("--type", o->type, "File type: auto (detect), hex or bin")
        ->check(CLI::IsMember({"auto", "hex", "bin"}));
    info->add_flag("--json", o->json, "Print JSON");
    info->callback([o, &ctx] { runInfo(o->in, o->type, o->json, ctx); });

    CLI::App* convert = app.add_subcommand("convert", "Load a file and save it as Intel HEX or binary");
    convert->add_option("IN", o->in, "Input file")->required();
    convert->add_option("OUT", o->out, "Output file")->required()->check(writableOutputFile());
    convert->add_option("--to", o->to, "Output format (default: hex for a .hex name, else bin)")
        ->check(CLI::IsMember({"hex", "bin"}));
    convert->add_option("--at", o->at,
                        "Load address of a binary file, or relocation target of an Intel HEX file");
    convert->callback([o, &ctx] { runConvert(o->in, o->out, o->to, o->at, ctx); });

    CLI::App* unpack =
        app.add_subcommand("unpack", "Save the firmware inside an envelope (hex by .hex name, else bin)");
    unpack->add_option("IN", o->in, "Envelope file (.q7r)")->required();
    unpack->add_option("OUT", o->out, "Output file")->required()->check(writableOutputFile());
    unpack->callback([o, &ctx] { runUnpack(o->in, o->out, ctx); });

    CLI::App* pack =
        app.add_subcommand("pack", "Build an envelope from a plain image with its version record");
    pack->add_option("IN", o->in, "Intel HEX or binary image")->required();
    pack->add_option("OUT", o->out, "Envelope file (.q7r)")->required()->check(writableOutputFile());
    pack->add_option("--header", o->header, "Header text (at most 32 characters)");
    pack->add_flag("--unpacked", o->unpacked, "Store the firmware without compression");
    pack->callback([o, &ctx] { runPack(o->in, o->out, o->header, o->unpacked, ctx); });
}

} // namespace cli
