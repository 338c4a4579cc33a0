#include "gui/EncryptionDialog.h"

#include "form/Control.h"
#include "form/MainControls.h"
#include "gui/LayoutParts.h"
#include "gui/Prompts.h"
#include "gui/QtText.h"
#include "mysql/ConnectOptions.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>
#include <utility>

namespace varnel::gui {
namespace {

const QString kTitle = QStringLiteral("加密连接");

struct ModeItem {
    SslMode mode;
    const char *text;
};

// The list's order is the order of strength, as the user reads it.
constexpr std::array<ModeItem, 6> kModes{{
    {SslMode::Unset, "未设置（不加密）"},
    {SslMode::Disabled, "DISABLED 不加密"},
    {SslMode::Preferred, "PREFERRED 服务器支持时加密"},
    {SslMode::Required, "REQUIRED 必须加密，给出 CA 时校验证书"},
    {SslMode::VerifyCa, "VERIFY_CA 必须加密，校验证书由 CA 签发"},
    {SslMode::VerifyIdentity, "VERIFY_IDENTITY 必须加密，校验 CA 和主机名"},
}};

QString modeText(SslMode mode)
{
    for (const ModeItem &item : kModes) {
        if (item.mode == mode)
            return QString::fromUtf8(item.text);
    }
    return {};
}

ConnectOptions optionsOf(const EncryptionSettings &s, SslMode mode)
{
    ConnectOptions o;
    o.sslMode = mode;
    o.sslCa = u8(s.ca);
    o.sslCert = u8(s.cert);
    o.sslKey = u8(s.key);
    return o;
}

const std::vector<FileFilter> &certificateFilters()
{
    static const std::vector<FileFilter> filters = {
        {QStringLiteral("证书文件(*.pem;*.crt;*.cer)"), QStringLiteral("*.pem;*.crt;*.cer")},
        {QStringLiteral("全部文件(*.*)"), QStringLiteral("*")},
    };
    return filters;
}

const std::vector<FileFilter> &keyFilters()
{
    static const std::vector<FileFilter> filters = {
        {QStringLiteral("私钥文件(*.pem;*.key)"), QStringLiteral("*.pem;*.key")},
        {QStringLiteral("全部文件(*.*)"), QStringLiteral("*")},
    };
    return filters;
}

QString pathOf(const QLineEdit *edit)
{
    const QString path = edit->text().trimmed();
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

// A mode's text as a note or tooltip quotes it: one line, and short however
// long a hand-edited file made it.
QString quotedMode(QString mode)
{
    mode.replace(QStringLiteral("\r\n"), QStringLiteral(" "))
        .replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    constexpr qsizetype kMost = 40;
    return mode.size() > kMost ? mode.left(kMost) + QStringLiteral("…") : mode;
}

QLabel *note(const QString &text, const char *name)
{
    auto *l = new QLabel(text);
    l->setObjectName(QString::fromUtf8(name));
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    return l;
}

} // namespace

EncryptionSettings encryptionSettingsOf(Form &form)
{
    return {qs(controlText(form, ctl::kSslMode)), qs(controlText(form, ctl::kSslCa)),
        qs(controlText(form, ctl::kSslCert)), qs(controlText(form, ctl::kSslKey))};
}

void putEncryptionSettings(Form &form, const EncryptionSettings &settings)
{
    form.control(ctl::kSslMode)->setText(u8(settings.mode));
    form.control(ctl::kSslCa)->setText(u8(settings.ca));
    form.control(ctl::kSslCert)->setText(u8(settings.cert));
    form.control(ctl::kSslKey)->setText(u8(settings.key));
}

QString encryptionButtonCaption(const EncryptionSettings &settings)
{
    const std::optional<SslMode> mode = parseSslMode(u8(settings.mode));
    if (!mode)
        return QStringLiteral("加密?");
    return asksForTls(optionsOf(settings, *mode).effectiveSslMode()) ? QStringLiteral("加密✓")
                                                                     : QStringLiteral("加密..");
}

QStringList encryptionButtonCaptions()
{
    return {QStringLiteral("加密.."), QStringLiteral("加密✓"), QStringLiteral("加密?")};
}

QString encryptionButtonToolTip(const EncryptionSettings &settings)
{
    QString tip = QStringLiteral("加密连接（TLS）设置\n");
    const std::optional<SslMode> mode = parseSslMode(u8(settings.mode));
    if (!mode)
        return tip + QStringLiteral("加密方式“") + quotedMode(settings.mode)
            + QStringLiteral("”无法识别，建立连接时会被拒绝：请点这里重新选择");
    const SslMode effective = optionsOf(settings, *mode).effectiveSslMode();
    if (*mode == SslMode::Unset && effective != SslMode::Unset)
        tip += QStringLiteral("当前：未选加密方式，但给了证书文件，按 PREFERRED 连接（服务器支持时加密）");
    else
        tip += QStringLiteral("当前：") + modeText(*mode);
    const std::pair<const char *, const QString *> files[] = {
        {"CA 证书：", &settings.ca}, {"客户端证书：", &settings.cert}, {"客户端私钥：", &settings.key}};
    for (const auto &[label, path] : files) {
        if (!path->isEmpty())
            tip += QLatin1Char('\n') + QString::fromUtf8(label) + *path;
    }
    return tip;
}

std::optional<EncryptionSettings> EncryptionDialog::ask(
    QWidget *owner, const EncryptionSettings &current, bool connected)
{
    EncryptionDialog dialog(current, connected, owner);
    const int result = Prompts::scripted() ? Prompts::scriptedDialog(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

EncryptionDialog::EncryptionDialog(const EncryptionSettings &current, bool connected, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("加密连接"));
    setWindowTitle(kTitle);
    auto *v = new QVBoxLayout(this);
    v->setSpacing(8);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);

    m_mode = new QComboBox;
    m_mode->setObjectName(QStringLiteral("组合框加密方式"));
    for (const ModeItem &item : kModes)
        m_mode->addItem(QString::fromUtf8(item.text), qs(sslModeName(item.mode)));
    // A mode this program does not know (a hand-edited settings file) is
    // shown as none set, with a note: it is never kept unseen.
    const std::optional<SslMode> mode = parseSslMode(u8(current.mode));
    m_mode->setCurrentIndex(m_mode->findData(qs(sslModeName(mode.value_or(SslMode::Unset)))));
    grid->addWidget(label("加密方式："), 0, 0);
    grid->addWidget(m_mode, 0, 1);
    m_ca = addFileRow(grid, 1, "CA 证书：", "编辑框CA证书文件", "按钮选择CA证书", current.ca);
    m_cert = addFileRow(grid, 2, "客户端证书：", "编辑框客户端证书文件", "按钮选择客户端证书", current.cert);
    m_key = addFileRow(grid, 3, "客户端私钥：", "编辑框客户端私钥文件", "按钮选择客户端私钥", current.key);
    grid->setColumnStretch(1, 1);
    // Room for a usual path and the longest mode.
    const QFontMetrics fm(font());
    grid->setColumnMinimumWidth(1, std::max(fm.averageCharWidth() * 56, m_mode->sizeHint().width()));
    v->addLayout(grid);

    if (!mode) {
        auto *unknown = note(QStringLiteral("设置中的加密方式“") + quotedMode(current.mode)
                + QStringLiteral("”无法识别，这里显示为“未设置”：请选择一种，按“确定”后保存所选的方式。"),
            "标签加密方式无法识别");
        unknown->setStyleSheet(QStringLiteral("color: #b00000;"));
        v->addWidget(unknown);
    }
    v->addWidget(note(QStringLiteral("VERIFY_CA 和 VERIFY_IDENTITY 校验服务器的证书，需要 CA 证书。\n"
                                     "客户端证书和私钥：服务器要求时才填，两者同时填写。"),
        "标签加密说明"));
    v->addWidget(note(connected ? QStringLiteral("现在的连接不受影响：修改在下次建立连接时生效。")
                                : QStringLiteral("修改在下次建立连接时生效。"),
        "标签加密生效"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *ok = makeButton(QStringLiteral("按钮确定"), QStringLiteral("确定"), this);
    auto *cancel = makeButton(QStringLiteral("按钮取消"), QStringLiteral("取消"), this);
    ok->setDefault(true);
    for (QPushButton *b : {ok, cancel}) {
        fitWidth(b, 72);
        buttons->addWidget(b);
    }
    v->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &EncryptionDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_mode->setFocus(Qt::OtherFocusReason);
}

QLineEdit *EncryptionDialog::addFileRow(QGridLayout *grid, int row, const char *labelText, const char *editName,
    const char *buttonName, const QString &value)
{
    auto *edit = new QLineEdit(value);
    edit->setObjectName(QString::fromUtf8(editName));
    auto *button = makeButton(QString::fromUtf8(buttonName), QStringLiteral(".."), this);
    embedButton(edit, button);
    // "选择客户端证书文件", "选择 CA 证书文件".
    const QString what = QString::fromUtf8(labelText).chopped(1);
    const QString title = QStringLiteral("选择") + (what.front().unicode() < 0x80 ? QStringLiteral(" ") : QString())
        + what + QStringLiteral("文件");
    connect(button, &QPushButton::clicked, this, [this, edit, title] { browse(edit, title); });
    grid->addWidget(label(labelText), row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

void EncryptionDialog::browse(QLineEdit *edit, const QString &title)
{
    // Where this file is, or where the CA is: the files usually lie together.
    QString start = pathOf(edit);
    if (start.isEmpty())
        start = pathOf(m_ca);
    const QString directory = start.isEmpty() ? QString() : QFileInfo(start).absolutePath();
    const QString chosen =
        Prompts::openFile(this, title, directory, edit == m_key ? keyFilters() : certificateFilters(), true);
    if (!chosen.isEmpty())
        edit->setText(chosen);
}

EncryptionSettings EncryptionDialog::chosen() const
{
    return {m_mode->currentData().toString(), pathOf(m_ca), pathOf(m_cert), pathOf(m_key)};
}

std::optional<std::pair<QString, QWidget *>> EncryptionDialog::refusal() const
{
    const std::pair<QLineEdit *, const char *> files[] = {
        {m_ca, "CA 证书"}, {m_cert, "客户端证书"}, {m_key, "客户端私钥"}};
    for (const auto &[edit, what] : files) {
        const QString path = pathOf(edit);
        if (path.isEmpty())
            continue;
        const QFileInfo info(path);
        const QString name = QString::fromUtf8(what);
        if (!info.exists())
            return std::pair{name + QStringLiteral("文件不存在：") + path, edit};
        if (!info.isFile())
            return std::pair{name + QStringLiteral("不是一个文件：") + path, edit};
        if (!info.isReadable())
            return std::pair{name + QStringLiteral("文件无法读取（没有权限）：") + path, edit};
    }
    const std::optional<SslMode> mode = parseSslMode(u8(m_mode->currentData().toString()));
    if (mode && verifiesServer(*mode) && pathOf(m_ca).isEmpty())
        return std::pair{m_mode->currentData().toString()
                + QStringLiteral(" 要校验服务器的证书，需要 CA 证书：请选择签发服务器证书的 CA 证书文件。"),
            static_cast<QWidget *>(m_ca)};
    const bool cert = !pathOf(m_cert).isEmpty(), key = !pathOf(m_key).isEmpty();
    if (cert != key)
        return std::pair{cert ? QStringLiteral("只填了客户端证书，没有客户端私钥：两者要同时填写，或都不填。")
                              : QStringLiteral("只填了客户端私钥，没有客户端证书：两者要同时填写，或都不填。"),
            static_cast<QWidget *>(cert ? m_key : m_cert)};
    // With no mode the files alone would turn encryption on, which the
    // item "未设置（不加密…）" does not say.
    if (mode == SslMode::Unset && !(pathOf(m_ca).isEmpty() && !cert))
        return std::pair{QStringLiteral("填写了证书文件，却没有选加密方式：请选择一种加密方式，或清空证书文件。"),
            static_cast<QWidget *>(m_mode)};
    return std::nullopt;
}

void EncryptionDialog::confirm()
{
    if (const auto r = refusal()) {
        Prompts::message(this, r->first, kTitle, MessageIcon::None);
        r->second->setFocus(Qt::OtherFocusReason);
        if (auto *edit = qobject_cast<QLineEdit *>(r->second))
            edit->selectAll();
        return;
    }
    accept();
}

} // namespace varnel::gui
