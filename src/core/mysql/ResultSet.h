#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct st_mysql_res MYSQL_RES;

namespace varnel {

// All rows of one statement, fetched to the client, with a row cursor. The
// cursor designates the row nextRow passes over next and readField reads.
class ResultSet {
public:
    explicit ResultSet(MYSQL_RES *result);
    ~ResultSet();
    ResultSet(const ResultSet &) = delete;
    ResultSet &operator=(const ResultSet &) = delete;

    std::uint64_t rowCount() const { return m_rows.size(); }
    unsigned fieldCount() const { return static_cast<unsigned>(m_names.size()); }
    bool fieldName(int index, std::string &name) const;
    const std::vector<std::string> &fieldNames() const { return m_names; }

    bool seekRow(std::uint64_t row);
    bool nextRow();
    std::uint64_t cursor() const { return m_cursor; }

    // By name (exact, first match) or by 0-based index (fraction dropped).
    // Past the last row the last row is read; NULL reads as empty text.
    bool readField(std::string_view name, std::string &value) const;
    bool readField(double index, std::string &value) const;
    // NULL is told apart here; readField cannot.
    bool isNull(int index) const;

    // Releases the rows; the set is empty afterwards.
    void free();

private:
    struct Row {
        char **values;
        unsigned long *lengths;
    };
    bool readAt(int index, std::string &value) const;

    struct Freer {
        void operator()(MYSQL_RES *r) const;
    };
    std::unique_ptr<MYSQL_RES, Freer> m_result;
    std::vector<std::string> m_names;
    std::vector<Row> m_rows;
    std::vector<std::unique_ptr<unsigned long[]>> m_lengthCopies;
    std::uint64_t m_cursor = 0;
};

} // namespace varnel
