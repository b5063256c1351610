#pragma once

#include <QHash>

#include "core/FormView.h"

namespace quindra::testing {

// The controls as far as the settings handlers and the swap touch them:
// labels only.
class FakeLabels final : public FormView {
public:
    void setFieldText(Field, const QString&) override {}
    QString fieldText(Field) const override { return {}; }
    void setChecked(Box, bool) override {}
    bool checked(Box) const override { return false; }
    void setHotKey(ShortCut) override {}
    ShortCut hotKey() const override { return 0; }
    void setLabel(Label l, const QString& text) override { labels[l] = text; }
    QString label(Label l) const override { return labels.value(l); }

    QHash<Label, QString> labels;
};

}  // namespace quindra::testing
