#include "window/SettingsPresenter.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "config/Conversions.h"
#include "window/AudioFileDialog.h"
#include "window/ErrorHandler.h"
#include "window/HotKeyEdit.h"
#include "window/PortValidator.h"
#include "window/SettingsTarget.h"

namespace quindra {

namespace {

const QString kTesting = QStringLiteral("Testando…");

}  // namespace

SettingsPresenter::SettingsPresenter(Page page, QObject* parent)
    : QObject(parent), page_(std::move(page)) {
    // Only a port can be typed, so no conversion error can come of typing.
    if (QLineEdit* port = page_.fields.value(Field::SmtpPort))
        port->setValidator(new PortValidator(port));
    testCaption_ = page_.test->text();
    for (auto it = page_.fields.cbegin(); it != page_.fields.cend(); ++it) {
        const Field f = it.key();
        // Only a real change of the text comes here, never one to the same
        // text.
        connect(it.value(), &QLineEdit::textChanged, this,
                [this, f](const QString& text) { fieldEdited(f, text); });
    }
    for (auto it = page_.boxes.cbegin(); it != page_.boxes.cend(); ++it) {
        const Box b = it.key();
        connect(it.value(), &QCheckBox::toggled, this, [this, b](bool on) { boxToggled(b, on); });
    }
    connect(page_.hotKey, &HotKeyEdit::changed, this,
            [this](quint16 key) { guard([&] { target_->hotKeyChanged(key); }); });
    connect(page_.browse, &QAbstractButton::clicked, this, [this] { browse(); });
    connect(page_.test, &QAbstractButton::clicked, this, [this] { testMail(); });
}

void SettingsPresenter::connectTo(SettingsTarget& target, ErrorHandler& errors) {
    target_ = &target;
    errors_ = &errors;
}

void SettingsPresenter::disconnectFrom() {
    target_ = nullptr;
    errors_ = nullptr;
}

void SettingsPresenter::show(const PageSettings& settings) {
    // The case rules are for typing: text from the store is shown as stored.
    for (auto it = page_.fields.cbegin(); it != page_.fields.cend(); ++it) {
        const QSignalBlocker quiet(it.value());
        it.value()->setText(settings.fields.value(it.key()));
        showCompanyLine(it.key(), it.value()->text());
    }
    rememberPort(settings.fields.value(Field::SmtpPort));
    for (auto it = page_.boxes.cbegin(); it != page_.boxes.cend(); ++it) {
        const QSignalBlocker quiet(it.value());
        it.value()->setChecked(settings.boxes.value(it.key()));
    }
    page_.hotKey->setShortCut(settings.hotKey);
}

MailSettings SettingsPresenter::mailSettings() const {
    const auto text = [this](Field f) { return page_.fields.value(f)->text(); };
    MailSettings s;
    s.recipient = text(Field::Recipient);
    s.server.host = text(Field::SmtpServer);
    const QString port = text(Field::SmtpPort);
    s.server.port = port.isEmpty() ? port_ : StrToPort(port);
    if (QLineEdit* sender = page_.fields.value(Field::Sender))
        s.sender = sender->text();
    s.server.user = text(Field::SmtpUser);
    s.server.password = text(Field::SmtpPassword);
    s.secure = page_.boxes.value(Box::SecureMail)->isChecked();
    return s;
}

void SettingsPresenter::fieldEdited(Field f, const QString& text) {
    // A cleared "Porta" is a port being retyped: the stored one stays.
    if (f == Field::SmtpPort && text.isEmpty())
        return;
    if (!guard([&] { target_->fieldChanged(f, text); }))
        return;
    showCompanyLine(f, text);
    if (f == Field::SmtpPort)
        rememberPort(text);
}

void SettingsPresenter::rememberPort(const QString& text) {
    bool ok = false;
    const int port = text.toInt(&ok);
    if (ok && port >= 1 && port <= 65535)
        port_ = port;
}

void SettingsPresenter::testMail() {
    // A second click while a test runs does nothing.
    if (testing_)
        return;
    setTesting(true);
    bool started = false;
    guard([&] { started = target_->sendTestMail(mailSettings(), [this] { setTesting(false); }); });
    if (!started)
        setTesting(false);
}

void SettingsPresenter::setTesting(bool on) {
    testing_ = on;
    page_.test->setEnabled(!on);
    page_.test->setText(on ? kTesting : testCaption_);
}

void SettingsPresenter::boxToggled(Box b, bool on) {
    guard([&] { target_->boxChanged(b, on); });
}

void SettingsPresenter::browse() {
    QLineEdit* folder = page_.fields.value(Field::DropFolder);
    const auto dialog = MakeAudioFileDialog(page_.dialogParent, folder->text());
    if (dialog->exec() != QDialog::Accepted || dialog->chosen().isEmpty())
        return;
    const QString picked = dialog->chosen();
    guard([&] {
        if (const auto chosen = target_->dropFileChosen(picked)) {
            const QSignalBlocker quiet(folder);
            folder->setText(*chosen);
        }
    });
}

void SettingsPresenter::showCompanyLine(Field f, const QString& text) {
    const int line = f == Field::Company ? 0 : f == Field::Contact ? 1 : f == Field::Phone ? 2 : -1;
    if (line >= 0 && page_.companyLines[static_cast<std::size_t>(line)])
        page_.companyLines[static_cast<std::size_t>(line)]->setText(text);
}

bool SettingsPresenter::guard(const std::function<void()>& change) {
    return target_ && errors_->guard(change);
}

}  // namespace quindra
