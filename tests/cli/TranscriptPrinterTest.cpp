#include "cli/TranscriptPrinter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace ambleguard::cli {
namespace {

TranscriptEntry logLine(double t, std::string category, LogLevel level, std::string text) {
    TranscriptEntry e;
    e.t = t;
    e.kind = TranscriptEntry::Kind::log;
    e.category = std::move(category);
    e.level = level;
    e.text = std::move(text);
    return e;
}

TEST(TranscriptPrinterTest, TextLinesHaveAlignedColumns) {
    EXPECT_EQ(TranscriptPrinter::textLine(
                  logLine(31.25, "Shortcuts", LogLevel::info, "Away shortcut executing: Leave")),
              "    31.250  Shortcuts      info    Away shortcut executing: Leave");
    EXPECT_EQ(TranscriptPrinter::textLine(logLine(0.5, "BT", LogLevel::notice, "x")),
              "     0.500  BT             default x");

    TranscriptEntry action;
    action.t = 34.25;
    action.kind = TranscriptEntry::Kind::action;
    action.name = "lockScreen";
    action.text = "lock screen requested";
    EXPECT_EQ(TranscriptPrinter::textLine(action),
              "    34.250  action                 lock screen requested");
}

TEST(TranscriptPrinterTest, JsonLinesCarryTheDocumentedFields) {
    EXPECT_EQ(
        TranscriptPrinter::jsonLine(logLine(31.25, "Shortcuts", LogLevel::info, "say \"hi\"")),
        R"({"t":31.250,"category":"Shortcuts","level":"info","text":"say \"hi\""})");

    TranscriptEntry out;
    out.t = 2;
    out.kind = TranscriptEntry::Kind::output;
    out.text = "Lock screen skipped - screen is already locked";
    EXPECT_EQ(TranscriptPrinter::jsonLine(out),
              R"({"t":2.000,"stdout":"Lock screen skipped - screen is already locked"})");

    TranscriptEntry shortcut;
    shortcut.t = 40;
    shortcut.kind = TranscriptEntry::Kind::action;
    shortcut.name = "shortcut";
    shortcut.fields = {{"name", "Leave Desk"}};
    EXPECT_EQ(TranscriptPrinter::jsonLine(shortcut),
              R"({"t":40.000,"action":"shortcut","name":"Leave Desk"})");

    TranscriptEntry event;
    event.t = 60;
    event.kind = TranscriptEntry::Kind::event;
    event.name = "bluetooth";
    event.fields = {{"state", "poweredOff"}};
    EXPECT_EQ(TranscriptPrinter::jsonLine(event),
              R"({"t":60.000,"event":"bluetooth","state":"poweredOff"})");
}

// A device can call itself anything: the name must not break the line, the terminal or the
// JSON.
TEST(TranscriptPrinterTest, HostileTextsArePrintedHarmlessly) {
    const std::string hostile = "Phone\n\x1b[2J\t\x7f\xC2\x85 caf\xC3\xA9 \xFF\xC0\xAF end";
    EXPECT_EQ(
        printable(hostile),
        "Phone\\n\\x1b[2J\\t\\x7f\\u0085 caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD end");

    const auto line = TranscriptPrinter::jsonLine(logLine(1, "BT", LogLevel::debug, hostile));
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.find('\x1b'), std::string::npos);
    const auto parsed = nlohmann::json::parse(line, nullptr, false);
    ASSERT_FALSE(parsed.is_discarded()) << line;
    EXPECT_EQ(parsed["text"].get<std::string>(),
              "Phone\n\x1b[2J\t\x7f\xC2\x85 caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD end");
}

TEST(TranscriptPrinterTest, FiltersLogLinesByLevelButNeverOtherEntries) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    TranscriptPrinter printer(out, TranscriptPrinter::Format::text, LogLevel::info);
    EXPECT_FALSE(printer.wantsLog(LogLevel::debug));
    EXPECT_TRUE(printer.wantsLog(LogLevel::notice));
    printer.entry(logLine(1, "BT", LogLevel::debug, "hidden"));
    printer.entry(logLine(2, "BT", LogLevel::error, "shown"));
    TranscriptEntry output;
    output.kind = TranscriptEntry::Kind::output;
    output.text = "also shown";
    printer.entry(output);

    std::rewind(out);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    EXPECT_EQ(text.find("hidden"), std::string::npos);
    EXPECT_NE(text.find("shown"), std::string::npos);
    EXPECT_NE(text.find("also shown"), std::string::npos);
}

TEST(TranscriptPrinterTest, ParsesLevelNames) {
    EXPECT_EQ(parseLogLevel("debug"), LogLevel::debug);
    EXPECT_EQ(parseLogLevel("default"), LogLevel::notice);
    EXPECT_EQ(parseLogLevel("notice"), LogLevel::notice);
    EXPECT_EQ(parseLogLevel("fault"), LogLevel::fault);
    EXPECT_EQ(parseLogLevel("loud"), std::nullopt);
    EXPECT_EQ(formatSeconds(-0.0001), "0.000");
}

}  // namespace
}  // namespace ambleguard::cli
