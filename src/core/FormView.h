#pragma once

#include <QString>

#include "core/ShortCut.h"

namespace quindra {

// The settings page's editable fields.
enum class Field {
    edEmpresa,
    edContato,
    edTelefone,
    edPathC1,
    edSendTo,
    edUserSMTP,
    edSenhaSMTP,
    edServerSMTP,
    edPortaSMTP,
};

// The settings page's check boxes.
enum class Box {
    cbHide,
    cbIniciaWindows,
    cbTipoInicio,
    cbSendMail,
    cbTrocaMsg,
    cbHardDesc,
    cbAutenticaSeguro,
};

// Labels that show stored values: company data in the header, history on the
// main page.
enum class Label {
    lbEmpresa,
    lbContato,
    lbTelefone,
    lbArquivo,
    lbArquivoAnterior,
    lbDataHoraAtual,
    lbDataHoraAnterior,
    lbDataHoraAnteriroSai,
};

// What the logic needs of the main window's controls. Setting a field or box
// to a value different from its current one runs that control's change
// handler, exactly as a user's edit would; an equal value runs nothing.
class FormView {
public:
    virtual ~FormView() = default;

    virtual void setFieldText(Field f, const QString& text) = 0;
    virtual QString fieldText(Field f) const = 0;
    virtual void setChecked(Box b, bool on) = 0;
    virtual bool checked(Box b) const = 0;
    // Shows a combination in the hot-key field without running its handler;
    // only a combination pressed there is a change.
    virtual void setHotKey(ShortCut key) = 0;
    virtual ShortCut hotKey() const = 0;
    virtual void setLabel(Label l, const QString& text) = 0;
    virtual QString label(Label l) const = 0;
};

}  // namespace quindra
