#pragma once

#include <QString>

namespace quindra {

// Shows a document in the browser or viewer the desktop offers.
class DocumentViewer {
public:
    virtual ~DocumentViewer() = default;
    // Hands the file over without waiting for the viewer; false when nothing
    // could be started to show it.
    virtual bool show(const QString& file) = 0;
};

// xdg-open: the desktop's own choice for the file's type.
class XdgDocumentViewer final : public DocumentViewer {
public:
    bool show(const QString& file) override;
};

}  // namespace quindra
