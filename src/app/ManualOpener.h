#pragma once

#include <QString>
#include <QStringList>

namespace quindra {

class DocumentViewer;
class MessageLog;

// "Documentação On-line" and the tray's "Manual": the installed manual, in
// the desktop's viewer. Whatever stands in the way is one status line that
// also says where else the manual is.
class ManualOpener {
public:
    // `places`: where the manual's HTML form may be, the installed one first.
    // No viewer: the program runs without a display.
    ManualOpener(DocumentViewer* viewer, QStringList places, MessageLog& log)
        : viewer_(viewer), places_(std::move(places)), log_(log) {}

    void open();

    // The manual beside an executable: installed, or in its build tree.
    static QStringList PlacesBeside(const QString& executableDir);

private:
    DocumentViewer* viewer_;
    QStringList places_;
    MessageLog& log_;
};

}  // namespace quindra
