#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "language_table.h"
#include "string_ids.h"
#include "text_format.h"

namespace {

// STRINGTABLE entries of an .rc file: number -> text (rc escapes undone).
std::map<unsigned, std::string> ReadStringTable(const std::string& path) {
    std::ifstream in(path);
    std::map<unsigned, std::string> table;
    std::regex entry(R"re(^\s*(\d+)\s*,\s*"((?:[^"]|"")*)"\s*$)re");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::smatch m;
        if (!std::regex_match(line, m, entry)) continue;
        std::string raw = m[2], text;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '"' && i + 1 < raw.size() && raw[i + 1] == '"') {
                text += '"';
                ++i;
            } else if (raw[i] == '\\' && i + 1 < raw.size()) {
                char c = raw[++i];
                text += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            } else {
                text += raw[i];
            }
        }
        table[static_cast<unsigned>(std::stoul(m[1]))] = text;
    }
    return table;
}

}  // namespace

TEST(LanguageTable, LibrariesAndHelpFolders) {
    EXPECT_STREQ(qorwin::LanguageFor(0).library, "Eng.dll");
    EXPECT_STREQ(qorwin::LanguageFor(4).library, "spa.dll");
    EXPECT_STREQ(qorwin::LanguageFor(5).library, "Jap.dll");
    EXPECT_STREQ(qorwin::LanguageFor(7).library, "Ita.dll");
    EXPECT_STREQ(qorwin::LanguageFor(8).library, "eng.dll");
    EXPECT_STREQ(qorwin::LanguageFor(0xFFFFFFFFu).library, "eng.dll");
    EXPECT_EQ(qorwin::LanguageFor(6).nameString, 1063u);

    const std::string folder = qorwin::ModuleFolder("C:\\Program Files\\Halvora\\halvora.exe");
    EXPECT_EQ(folder, "C:\\Program Files\\Halvora\\");
    EXPECT_EQ(qorwin::LanguageLibraryPath(folder, 5), "C:\\Program Files\\Halvora\\Jap.dll");
    EXPECT_EQ(qorwin::HelpFolderPath(folder, 5), "C:\\Program Files\\Halvora\\Japanese\\");
    EXPECT_EQ(qorwin::HelpFolderPath(folder, 1), "C:\\Program Files\\Halvora\\SimpChin\\");
    // Outside 0..7 the help comes from the English folder.
    EXPECT_EQ(qorwin::HelpFolderPath(folder, 12), "C:\\Program Files\\Halvora\\English\\");
    EXPECT_EQ(qorwin::ModuleFolder("D:halvora.exe"), "D:");
    EXPECT_EQ(qorwin::ModuleFolder("halvora.exe"), "");
}

TEST(EnglishLibrary, HasATextForEveryNumberAndSafeFormats) {
    auto table = ReadStringTable(QORWIN_ENG_RC);
    ASSERT_FALSE(table.empty()) << QORWIN_ENG_RC;
    for (std::size_t i = 0; i < qorwin::text::kUsedStringIdCount; ++i) {
        unsigned id = qorwin::text::kUsedStringIds[i];
        ASSERT_TRUE(table.count(id)) << "no English text for " << id;
        EXPECT_FALSE(table[id].empty()) << id;
    }
    EXPECT_EQ(table[1030], "UPS Warning");
    EXPECT_TRUE(qorwin::IsSingleConversionFormat(table[1028].c_str(), qorwin::FormatArg::Int));
    EXPECT_TRUE(qorwin::IsSingleConversionFormat(table[1060].c_str(), qorwin::FormatArg::String));
    // No other text may look like a format: they are shown as they stand.
    for (const auto& kv : table) {
        if (kv.first != 1028 && kv.first != 1060) {
            EXPECT_EQ(kv.second.find('%'), std::string::npos) << kv.first;
        }
    }
    // The tray tip holds at most 127 characters.
    EXPECT_LE(table[1011].size(), 127u);
}

TEST(TextFormat, OnlyASingleConversionOfTheRightKindIsUsedAsFormat) {
    using qorwin::FormatArg;
    EXPECT_TRUE(qorwin::IsSingleConversionFormat("Left: %d s", FormatArg::Int));
    EXPECT_TRUE(qorwin::IsSingleConversionFormat("%5u%%", FormatArg::Int));
    EXPECT_TRUE(qorwin::IsSingleConversionFormat("On %s", FormatArg::String));
    EXPECT_TRUE(qorwin::IsSingleConversionFormat("On %-8.4s", FormatArg::String));
    EXPECT_FALSE(qorwin::IsSingleConversionFormat("On %s", FormatArg::Int));
    EXPECT_FALSE(qorwin::IsSingleConversionFormat("%d %d", FormatArg::Int));
    EXPECT_FALSE(qorwin::IsSingleConversionFormat("%n", FormatArg::Int));
    EXPECT_FALSE(qorwin::IsSingleConversionFormat("%*d", FormatArg::Int));
    EXPECT_FALSE(qorwin::IsSingleConversionFormat("%ld", FormatArg::Int));
    EXPECT_FALSE(qorwin::IsSingleConversionFormat("%1$s", FormatArg::String));
    EXPECT_FALSE(qorwin::IsSingleConversionFormat("none", FormatArg::String));
    EXPECT_FALSE(qorwin::IsSingleConversionFormat("50%", FormatArg::Int));
    EXPECT_FALSE(qorwin::IsSingleConversionFormat(nullptr, FormatArg::Int));

    char out[64];
    qorwin::FormatWithInt("ShutDown CountDown: %d", 42, out, sizeof out);
    EXPECT_STREQ(out, "ShutDown CountDown: 42");
    qorwin::FormatWithString("UPS on %s", "COM2", out, sizeof out);
    EXPECT_STREQ(out, "UPS on COM2");
    // A library text that is not a fit format is shown, never interpreted.
    qorwin::FormatWithInt("Left %s %s", 42, out, sizeof out);
    EXPECT_STREQ(out, "Left %s %s 42");
    qorwin::FormatWithString(nullptr, "COM1", out, sizeof out);
    EXPECT_STREQ(out, " COM1");
    char small[8];
    qorwin::FormatWithString("Port %s", "COM1-very-long", small, sizeof small);
    EXPECT_STREQ(small, "Port CO");
}
