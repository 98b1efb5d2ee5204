#include "dialogs/AuxiliaryWindows.h"

#include "dialogs/AboutForm.h"
#include "dialogs/FileOpen.h"
#include "dialogs/HelpForm.h"

void UnloadAuxiliaryWindows() {
    UnloadAboutForm();
    UnloadHelpForm();
    UnloadFileOpenForm();
}
