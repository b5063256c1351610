#pragma once

#include <QHash>
#include <QObject>
#include <array>

#include "config/Settings.h"
#include "mail/MailSettings.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace quindra {

class ErrorHandler;
class HotKeyEdit;
class SettingsTarget;

// The settings page's presenter: shows the stored settings in the page's
// widgets, and turns each edit into a typed change for the program. A change
// the program refuses shows its text in the error box; the widget keeps what
// the operator typed.
class SettingsPresenter final : public QObject {
    Q_OBJECT
public:
    // The page's widgets, owned by the window.
    struct Page {
        QHash<Field, QLineEdit*> fields;
        QHash<Box, QCheckBox*> boxes;
        HotKeyEdit* hotKey = nullptr;
        // The header's lines, which show the company fields.
        std::array<QLabel*, 3> companyLines{};
        QAbstractButton* browse = nullptr;
        QAbstractButton* test = nullptr;
        QWidget* dialogParent = nullptr;
    };

    SettingsPresenter(Page page, QObject* parent);

    // Edits reach the target from now on; until then they change nothing.
    void connectTo(SettingsTarget& target, ErrorHandler& errors);
    void disconnectFrom();

    // Shows the settings as stored; showing is no change.
    void show(const PageSettings& settings);
    // The mail settings as the page shows them; a port that is no number
    // throws its conversion error. An empty "Porta" is the port last shown
    // or stored (25 when there was none).
    MailSettings mailSettings() const;
    // Whether a "Teste" started here is still running.
    bool testing() const { return testing_; }

private:
    void fieldEdited(Field f, const QString& text);
    void boxToggled(Box b, bool on);
    void browse();
    void testMail();
    void setTesting(bool on);
    void rememberPort(const QString& text);
    void showCompanyLine(Field f, const QString& text);
    bool guard(const std::function<void()>& change);

    Page page_;
    SettingsTarget* target_ = nullptr;
    ErrorHandler* errors_ = nullptr;
    QString testCaption_;
    bool testing_ = false;
    int port_ = 25;
};

}  // namespace quindra
