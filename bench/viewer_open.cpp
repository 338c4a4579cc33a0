// Opening a big table in the record viewer, against filling item widgets.
//
// Makes a table of N rows × 5 columns on the sandbox server, then shows all
// of it twice in a visible view on the offscreen platform: through the
// viewer's model over the result set, and with one item widget per cell (the
// plain way, without any event pumping between cells). Prints both times,
// each from reading the rows to a painted window, and checks that the last
// row shows the right values.
//
//   QT_QPA_PLATFORM=offscreen viewer_open [N]      (default 100000)
//
// Needs the sandbox: eval "$(scripts/mysql-sandbox env)".
#include "BenchSupport.h"
#include "admin/QueryRows.h"
#include "gui/ResultTableModel.h"
#include "mysql/MySqlConnection.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace varnel;
using namespace varnel::bench;

namespace {

double seconds(Stopwatch::time_point since)
{
    return std::chrono::duration<double>(Stopwatch::now() - since).count();
}

std::unique_ptr<ResultSet> readAll(MySqlConnection &db)
{
    if (!db.execute("select * from t"))
        return nullptr;
    return db.storeResult();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const long rows = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
    MySqlConnection db;
    if (!db.connect(env("VARNEL_DB_HOST", "127.0.0.1") + ":" + env("VARNEL_DB_PORT", "3406"),
            env("VARNEL_DB_USER", "root"), env("VARNEL_DB_PASSWORD"))) {
        std::fprintf(stderr, "viewer_open: cannot connect: %s (run: eval \"$(scripts/mysql-sandbox env)\")\n",
            db.connectError().c_str());
        return 1;
    }
    const std::string database = "varnel_bench_viewer";
    db.execute("drop database if exists " + database);
    if (!db.execute("create database " + database + " character set utf8mb4") || !db.selectDatabase(database)
        || !db.execute("create table t (id int primary key, title varchar(100), body text, n double, d datetime)")
        || !db.execute("insert into t select seq, concat('标题 ', seq), repeat('正文内容 ', 8), seq / 7,"
                       " '2026-01-01' + interval seq second from seq_1_to_"
            + std::to_string(rows))) {
        std::string e;
        db.lastError(e);
        std::fprintf(stderr, "viewer_open: cannot make the table: %s\n", e.c_str());
        return 1;
    }
    const std::string expectedTitle = "标题 " + std::to_string(rows);

    // The viewer's way: a model over the rows as the client library holds them.
    auto start = Stopwatch::now();
    std::unique_ptr<ResultSet> firstRead = readAll(db);
    if (!firstRead)
        return 1;
    auto result = std::make_shared<const QueryRows>(std::move(firstRead));
    QTableView view;
    gui::ResultTableModel model;
    QStringList titles;
    for (const auto &c : result->columns())
        titles << QString::fromStdString(c.name);
    model.setResult(result, titles);
    view.setModel(&model);
    view.resize(788, 474);
    view.show();
    view.resizeColumnsToContents();
    view.scrollToBottom();
    QApplication::processEvents();
    const double modelSeconds = seconds(start);
    const bool modelOk = model.cellText(static_cast<int>(rows) - 1, 1).toStdString() == expectedTitle;

    // One item widget per cell.
    start = Stopwatch::now();
    std::unique_ptr<ResultSet> again = readAll(db);
    if (!again)
        return 1;
    QTableWidget widget;
    widget.setColumnCount(static_cast<int>(again->columnCount()));
    widget.setRowCount(static_cast<int>(again->rowCount()));
    for (std::uint64_t r = 0; r < again->rowCount(); ++r) {
        for (std::size_t c = 0; c < again->columnCount(); ++c)
            widget.setItem(static_cast<int>(r), static_cast<int>(c),
                new QTableWidgetItem(QString::fromStdString(again->cell(r, c))));
    }
    widget.resize(788, 474);
    widget.show();
    widget.resizeColumnsToContents();
    widget.scrollToBottom();
    QApplication::processEvents();
    const double widgetSeconds = seconds(start);
    const bool widgetOk = widget.item(static_cast<int>(rows) - 1, 1)->text().toStdString() == expectedTitle;

    // Item widgets with the events handled after every cell, the way a fill
    // loop keeps a window alive: timed on the first rows, scaled to all.
    const int sample = static_cast<int>(std::min<long>(rows, 2000));
    start = Stopwatch::now();
    QTableWidget pumped;
    pumped.setColumnCount(static_cast<int>(again->columnCount()));
    pumped.resize(788, 474);
    pumped.show();
    for (int r = 0; r < sample; ++r) {
        pumped.insertRow(r);
        for (std::size_t c = 0; c < again->columnCount(); ++c) {
            pumped.setItem(r, static_cast<int>(c), new QTableWidgetItem(QString::fromStdString(again->cell(r, c))));
            QApplication::processEvents();
        }
    }
    const double pumpedSeconds = seconds(start) * static_cast<double>(rows) / sample;

    std::printf("rows: %ld × 5 columns\n", rows);
    std::printf("model over the result set:   %.3f s%s\n", modelSeconds, modelOk ? "" : "  (WRONG last row)");
    std::printf("one item widget per cell:    %.3f s%s\n", widgetSeconds, widgetOk ? "" : "  (WRONG last row)");
    std::printf("item widgets, events after every cell: %.1f s (timed on %d rows, scaled)\n", pumpedSeconds, sample);
    std::printf("model ÷ item widgets:        %.2f\n", modelSeconds / widgetSeconds);
    db.execute("drop database if exists " + database);
    return modelOk && widgetOk ? 0 : 1;
}
