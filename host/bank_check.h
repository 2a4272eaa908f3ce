// `askgame-host bank FILE`: shows a question bank the way a panel reads it, with warnings about
// what in the raw text would surprise a presenter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/scenario.h"
#include "platform/shell.h"

namespace host {

struct BankBlock {
    int line = 0; // of its question marker, from 1
    std::u16string question;
    std::u16string answer;
};

struct BankScan {
    std::vector<BankBlock> blocks;
    std::vector<std::string> warnings; // each names its line
};

// A light scan of the raw text, already decoded to UTF-16 (as the panels convert it).
BankScan ScanBankText(std::u16string_view text);
// Decodes a bank file's bytes as the panels would in the system code page (`codeset` is an
// iconv name); adds a warning for what cannot be decoded or ends the text early.
std::u16string DecodeBankBytes(std::string_view bytes, const std::string& codeset,
                               std::vector<std::string>& warnings);
// The code page bank files are read in here: $ASKGAME_ACP when set, else the locale's codeset.
std::string BankCodeset();

struct BankCheckOptions {
    std::string pluginPath;
    std::string file;
    GameMode mode = GameMode::Challenge;
    LCID lcid = 0;
};

// Prints the bank and its warnings; 0 when it holds questions and nothing to warn about.
int RunBankCheck(const BankCheckOptions& options);

} // namespace host
