#pragma once

class QCoreApplication;

namespace app {

// Qt's own texts (colour chooser, printer setup, the edits' context menus, standard buttons) in
// Japanese like the rest of the interface, whatever the locale. False when Qt's Japanese
// translations are not installed; those texts then stay English.
bool installQtTranslations(QCoreApplication& application);

}  // namespace app
