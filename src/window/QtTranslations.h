#pragma once

#include <QLocale>

namespace quindra {

// Loads Qt's own translations (file dialogs, text-field menus, standard
// buttons) for the operator's language, so that the words Qt draws itself
// match the rest of the window. False when none are installed for it.
bool InstallQtTranslations(const QLocale& locale);

}  // namespace quindra
