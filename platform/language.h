// The interface speaks Chinese whatever the system's locale: Qt's own texts (standard buttons,
// file dialogs, context menus) from its Simplified Chinese translations, and dates and numbers
// in the forms of Chinese (China).
#pragma once

namespace mozhou {

// Installs the translations into the running application and makes Chinese (China) the
// default locale. False when Qt's translation files are not installed (its texts then stay
// English).
bool useChinese();

}  // namespace mozhou
