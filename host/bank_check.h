// `askgame-host bank FILE`: shows a question bank exactly as a panel reads it (the same file
// checks, decoding and parser as the plug-in's), with notes about what the panels harmlessly skip
// and problems: what in the file would surprise a presenter, each with what to write instead.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "game/question_bank.h"
#include "host/exit_status.h"
#include "hosting/scenario.h"
#include "platform/shell.h"

namespace host {

// Exit status of `bank` for a bank that holds no question or has a problem.
inline constexpr int kBankHasProblems = kExitBadData;

struct BankReview {
    FileReadStatus status = FileReadStatus::Missing;
    QuestionBank bank;                 // as the panel holds it after loading the file
    std::vector<int> markerLines;      // line (from 1) of each entry's question marker
    std::vector<std::string> notes;    // what the panels skip as they should: no problem
    std::vector<std::string> warnings; // the problems; each names its line where it has one
};

// Reviews a bank file's bytes as a panel with `cleaning` reads them.
BankReview ReviewBankBytes(std::string bytes, QuestionCleaning cleaning);
// Reads the file as a panel does (regular files up to the bank size cap only) and reviews it.
BankReview ReviewBankFile(const std::string& path, QuestionCleaning cleaning);

struct BankCheckOptions {
    std::string pluginPath;
    std::string file;
    hosting::GameMode mode = hosting::GameMode::Challenge;
    LCID lcid = 0;
};

// Prints the bank, its notes and its problems; 0 when it holds questions and has no problem,
// kBankHasProblems otherwise, 2 when the file cannot be opened.
int RunBankCheck(const BankCheckOptions& options);

} // namespace host
