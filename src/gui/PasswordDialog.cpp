#include "gui/PasswordDialog.h"

#include "gui/LayoutParts.h"
#include "gui/Prompts.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnel::gui {
namespace {

QLabel *line(const QString &text, const char *name)
{
    auto *l = new QLabel(text);
    l->setObjectName(QString::fromUtf8(name));
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    return l;
}

} // namespace

std::optional<PasswordDialog::Answer> PasswordDialog::ask(
    QWidget *owner, const QString &user, const QString &server, const QString &reason, Keeping keeping)
{
    PasswordDialog dialog(user, server, reason, keeping, owner);
    const int result = Prompts::scripted() ? Prompts::scriptedDialog(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return std::nullopt;
    return dialog.answer();
}

PasswordDialog::PasswordDialog(
    const QString &user, const QString &server, const QString &reason, Keeping keeping, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("输入密码"));
    setWindowTitle(QStringLiteral("输入密码"));
    auto *v = new QVBoxLayout(this);
    v->setSpacing(8);
    v->addWidget(line(
        QStringLiteral("请输入 ") + user + QLatin1Char('@') + server + QStringLiteral(" 的密码："), "标签输入密码"));
    m_password = new QLineEdit;
    m_password->setObjectName(QStringLiteral("编辑框输入密码"));
    m_password->setEchoMode(QLineEdit::Password);
    // Room for a long password and the server's reason in a few lines.
    m_password->setMinimumWidth(QFontMetrics(font()).averageCharWidth() * 48);
    v->addWidget(m_password);
    if (!reason.isEmpty()) {
        auto *said = line(QStringLiteral("服务器的回答：") + reason, "标签服务器的回答");
        said->setStyleSheet(QStringLiteral("color: palette(dark);"));
        v->addWidget(said);
    }
    m_remember = new QCheckBox(QStringLiteral("记住密码"));
    m_remember->setObjectName(QStringLiteral("选择框记住密码"));
    v->addWidget(m_remember);
    v->addWidget(line(keeping == Keeping::Keyring
            ? QStringLiteral("记住的密码保存在桌面的密钥环中；不记住时只用于这次运行。")
            : QStringLiteral("没有可用的密钥环：记住的密码以明文保存在设置文件中；不记住时只用于这次运行。"),
        "标签记住密码说明"));

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
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_password->setFocus(Qt::OtherFocusReason);
}

PasswordDialog::Answer PasswordDialog::answer() const
{
    return {m_password->text(), m_remember->isChecked()};
}

} // namespace varnel::gui
