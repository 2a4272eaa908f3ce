// A thin owner of SQLite handles: a connection and prepared statements that finalise
// themselves, with every failure turned into a `SqliteError` carrying SQLite's own message.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace season {

class SqliteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Database {
public:
    // Opens (creating when missing) the file at `path`.
    explicit Database(const std::string& path);
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    // Runs one or more statements that return no rows.
    void Execute(const char* sql);
    sqlite3* Handle() const { return db_; }
    std::int64_t LastInsertId() const;

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(Database& db, const char* sql);
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    // Parameters count from 1, as in SQL.
    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, std::string_view text);
    Statement& BindNull(int index);
    // Advances to the next row: false when there is none.
    bool Step();
    // Steps through a statement that returns no rows, then makes it ready to run again.
    void Run();
    void Reset();

    std::int64_t Int(int column) const;
    std::string Text(int column) const;

private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

// Runs a block in one transaction: committed when `Commit` is called, rolled back otherwise.
class Transaction {
public:
    explicit Transaction(Database& db);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();
    void Commit();

private:
    Database& db_;
    bool done_ = false;
};

} // namespace season
