// The places that read a whole number typed or stored as text, each with its own rule: a setting
// (blanks around, a sign, 32-bit bit patterns), a value typed into a device field (blanks around, no
// sign, up to a maximum), a literal in a protocol expression (a decimal literal, or blanks before, a
// sign and the low 16 bits of any length) and velmora-cli's --at (no blanks, no sign, an address
// below 0x800000). One table says what each of them accepts.

#include "app/integer_text.h"
#include "exchange/ident_record.h"
#include "protocol/evaluator_setup.h"
#include "support/files.h"
#include "support/paths.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace {

constexpr std::uint32_t kTypedMax = 0xFFFF;
constexpr int kExitUsage = 2;

struct NumberFormCase {
    const char* text;
    std::optional<std::int32_t> setting;
    std::optional<std::uint32_t> typed;
    std::optional<long double> literal;
    std::optional<std::int32_t> at;
};

const std::nullopt_t no = std::nullopt;

const NumberFormCase kCases[] = {
    // text            setting       typed    literal        --at
    {"0", 0, 0u, 0.0L, 0},
    {"1234", 1234, 1234u, 1234.0L, 1234},
    {"$FF", 255, 255u, 255.0L, 255},
    {"0x1f", 31, 31u, 31.0L, 31},
    {"X10", 16, 16u, 16.0L, 16},
    {"65535", 65535, 65535u, 65535.0L, 65535},
    {"65536", 65536, no, 65536.0L, 65536},
    {"0x12345", 0x12345, no, 0x2345, 0x12345},
    {"0x7FFFFF", 0x7FFFFF, no, 0xFFFF, 0x7FFFFF},
    {"0x800000", 0x800000, no, 0.0L, no},
    {"0xFFFFFFFF", -1, no, 0xFFFF, no},
    {"4294967296", no, no, 4294967296.0L, no},
    {"-2147483648", INT32_MIN, no, -2147483648.0L, no},
    {"-2147483649", no, no, -2147483649.0L, no},
    {"-1", -1, no, -1.0L, no},
    {"-$1", -1, no, 0xFFFF, no},
    {"+0x10", 16, no, 16.0L, no},
    {" 12 ", 12, 12u, no, no},
    {"  $10", 16, 16u, 16.0L, no},
    {"1.5", no, no, 1.5L, no},
    {"x", no, no, no, no},
    {"0x", no, no, no, no},
    {"$", no, no, no, no},
    {"", no, no, no, no},
    {"12a", no, no, no, no},
    {"$G1", no, no, no, no},
    {"$1 2", no, no, no, no},
    // --at read its digits with strtoul, which also let through blanks, a sign or a second "0x"
    // after the prefix and a blank or a sign before decimal digits; an address is digits only.
    {"0x 10", no, no, no, no},
    {"0x0x10", no, no, no, no},
    {"$+5", no, no, no, no},
    {" 16", 16, 16u, 16.0L, no},
    {"+16", 16, no, 16.0L, no},
    {"-0", 0, no, 0.0L, no},
};

std::optional<std::uint32_t> typedValue(const std::string& text) {
    std::uint32_t value = 0;
    if (!exchange::parseNumberText(text, kTypedMax, value))
        return std::nullopt;
    return value;
}

std::optional<long double> literalValue(const std::string& text) {
    protocol::TFunctionEvaluator evaluator = protocol::makeMainEvaluator();
    long double value = 0;
    bool ok = false;
    protocol::FunctionEvaluator1ConvertVal(evaluator, text, value, ok);
    return ok ? std::optional<long double>(value) : std::nullopt;
}

// A one-byte binary converted to binary at --at: the output holds the address's worth of empty
// bytes before it.
std::optional<std::int32_t> atValue(const std::filesystem::path& dir, const std::string& text) {
    const std::filesystem::path out = dir / "out.bin";
    std::filesystem::remove(out);
    const auto run = testsupport::runCli({"convert", (dir / "one.bin").string(), out.string(), "--at", text});
    if (run.exitCode == kExitUsage)
        return std::nullopt;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return static_cast<std::int32_t>(std::filesystem::file_size(out)) - 1;
}

TEST(NumberForms, EachPlaceAcceptsItsOwnForms) {
    testsupport::TempDir dir;
    const std::uint8_t one[] = {0x5A};
    testsupport::writeBytes(dir / "one.bin", one);
    for (const NumberFormCase& c : kCases) {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        EXPECT_EQ(app::parseInteger(c.text), c.setting);
        EXPECT_EQ(typedValue(c.text), c.typed);
        EXPECT_EQ(literalValue(c.text), c.literal);
        EXPECT_EQ(atValue(dir.path(), c.text), c.at);
    }
}

} // namespace
