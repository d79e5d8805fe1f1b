// Saving the passport as a package.

#include "app/guard.h"
#include "app/pasport.h"
#include "ui_pasport.h"

void TPasport::connectSave() {}
void TPasport::SaveButtonClick() {}
