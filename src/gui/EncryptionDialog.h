#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace varnel {
class Form;
}

namespace varnel::gui {

// The connection's encryption as the main form keeps it in its hidden boxes:
// the mode's name (empty: none set) and the CA, certificate and key files.
struct EncryptionSettings {
    QString mode, ca, cert, key;
    bool operator==(const EncryptionSettings &) const = default;
};

EncryptionSettings encryptionSettingsOf(Form &form);
void putEncryptionSettings(Form &form, const EncryptionSettings &settings);

// The main window's 加密.. button: a mark in its caption when connections
// will be encrypted, a question mark when the mode is not one it knows, and
// the mode and files in its tooltip.
QString encryptionButtonCaption(const EncryptionSettings &settings);
QString encryptionButtonToolTip(const EncryptionSettings &settings);
// Every caption the button may show, so it can be as wide as the widest.
QStringList encryptionButtonCaptions();

// The small modal dialog "加密连接": the mode from a list, the three files
// typed or chosen. It only gives back what was confirmed; the window puts it
// in the form, and the next connect reads it from there.
class EncryptionDialog : public QDialog {
    Q_OBJECT
public:
    // The settings confirmed with 确定; nothing when the dialog was closed
    // otherwise. With Prompts scripted the dialog is not shown: a queued act
    // of the test works it instead.
    static std::optional<EncryptionSettings> ask(QWidget *owner, const EncryptionSettings &current, bool connected);

    EncryptionDialog(const EncryptionSettings &current, bool connected, QWidget *parent = nullptr);

    // What the fields hold: the chosen mode's name, the paths without
    // surrounding blanks and made absolute. Valid once confirmed.
    EncryptionSettings chosen() const;

public slots:
    // 确定: closes with the settings when they can work, otherwise says why
    // and stays open at the field to mend.
    void confirm();

private:
    QLineEdit *addFileRow(QGridLayout *grid, int row, const char *label, const char *editName, const char *buttonName,
        const QString &value);
    void browse(QLineEdit *edit, const QString &title);
    // Why the fields cannot be taken, and the field to mend; nothing when
    // they can.
    std::optional<std::pair<QString, QWidget *>> refusal() const;

    QComboBox *m_mode = nullptr;
    QLineEdit *m_ca = nullptr;
    QLineEdit *m_cert = nullptr;
    QLineEdit *m_key = nullptr;
};

} // namespace varnel::gui
