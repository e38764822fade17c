#pragma once

// The boundary between "what data a server gets" (the demo and scale generators) and "how it
// is written" (one writer per server kind). Generators give every referenced key explicitly, so
// the rows do not depend on how a backend numbers identities.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace dbtool {

// One value of a row. Text is held as a view: the caller keeps the characters alive until
// TableSink::add() returns.
class Cell {
public:
    enum class Kind { Null, Integer, Real, Text };

    Cell(std::nullptr_t) {}
    Cell(int v) : kind_(Kind::Integer), integer_(v) {}
    Cell(long v) : kind_(Kind::Integer), integer_(v) {}
    Cell(long long v) : kind_(Kind::Integer), integer_(v) {}
    Cell(double v) : kind_(Kind::Real), real_(v) {}
    Cell(const char* v) : kind_(Kind::Text), text_(v) {}
    Cell(std::string_view v) : kind_(Kind::Text), text_(v) {}
    Cell(const std::string& v) : kind_(Kind::Text), text_(v) {}
    // Flags are one-character texts: a char would silently become its code point.
    Cell(char) = delete;
    Cell(bool) = delete;

    Kind kind() const { return kind_; }
    std::int64_t integer() const { return integer_; }
    double real() const { return real_; }
    std::string_view text() const { return text_; }

private:
    Kind kind_ = Kind::Null;
    std::int64_t integer_ = 0;
    double real_ = 0;
    std::string_view text_;
};

// Receives the rows of one table, values in the order of the columns it was opened with.
class TableSink {
public:
    virtual ~TableSink() = default;
    virtual void add(std::initializer_list<Cell> row) = 0;
};

// A server being filled. Asking again for the same database, table and columns returns the
// same sink, so generators may interleave the rows of several tables.
class ServerSink {
public:
    virtual ~ServerSink() = default;
    virtual TableSink& table(std::string_view database, std::string_view table,
                             std::initializer_list<std::string_view> columns) = 0;
};

// Rows a writer has taken for one table.
struct TableCount {
    std::string database;
    std::string table;
    std::int64_t rows;
};

} // namespace dbtool
