#pragma once

#include <string>
#include <string_view>

namespace varnel::gui {

// What the other windows may ask of the main window: the database and table
// its run works on, the user name it logs in with, and to show one of its
// boxes. Nothing else of it is theirs to touch.
class MainNames {
public:
    virtual std::string databaseName() const = 0;
    virtual std::string tableName() const = 0;
    virtual std::string userName() const = 0;
    // Puts both names into their boxes and brings the main window to the
    // front.
    virtual void setDatabaseAndTable(std::string_view database, std::string_view table) = 0;
    // Brings the main window to the front with the focus in that box (not
    // while the prompts are muted: an action that lost its server points at
    // nothing the user typed).
    virtual void focusBox(std::string_view controlName) = 0;

protected:
    ~MainNames() = default;
};

} // namespace varnel::gui
