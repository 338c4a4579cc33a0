#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// Texts of the SQL query window: its statement editor's design content, how
// the editor's text becomes statements, and the samples of its 插入语句 menu.
// Texts are the program's own, with CR LF line ends.

// The nine sample lines the editor shows until a text has been saved, each
// with a TAB before its "//" comment, separated by CR LF.
std::string_view sqlDesignText();

// The editor's whole text made ready to split into statements: a "//"
// comment with at least one character after it, a run of two or more spaces
// and the blanks at the start or end of a line each become one space; every
// ideographic space and TAB left becomes a space; a line ending in a comma is
// joined with the next. A "//" inside a quoted string is cut as a comment
// too; a "//" with nothing after it stays.
std::string cleanStatementText(std::string_view text);

// One statement of a run: its 1-based line number among all lines (empty
// ones counted) and its text.
struct NumberedStatement {
    int number = 0;
    std::string text;

    bool operator==(const NumberedStatement &) const = default;
};
// The cleaned text split at every CR LF; empty lines are counted but left
// out.
std::vector<NumberedStatement> splitStatementLines(std::string_view cleaned);

// The status line's text for a line that failed: its number and the reason.
std::string statementFailedStatus(int number, std::string_view reason);

// One entry of the 插入语句 menu, in menu order.
struct SqlSample {
    enum class Kind { Item, Separator, SubmenuBegin, SubmenuEnd };
    Kind kind = Kind::Item;
    std::string_view label; // the item's or submenu's caption
    std::string_view text; // the sample text (before the user name, if any)
    // The text goes on with the main window's user name and then this.
    bool withUserName = false;
    std::string_view afterUserName;
};
const std::vector<SqlSample> &sqlSamples();
// The sample's text, with the user name where the sample takes one.
std::string sampleText(const SqlSample &sample, std::string_view userName);

// What inserting a sample puts into the editor: every "''" made one double
// quote, a TAB before every "//", and a CR LF after it.
std::string sampleInsertion(std::string_view sample);

// The editor's text with a selection (byte offsets; equal ends: the caret).
struct EditorText {
    std::string text;
    std::size_t selectionStart = 0;
    std::size_t selectionEnd = 0;

    bool operator==(const EditorText &) const = default;
};
// The sample's insertion in place of the selection, the caret after it and
// nothing selected.
EditorText insertSampleText(const EditorText &editor, std::string_view sample);

} // namespace varnel
