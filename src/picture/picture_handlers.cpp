// The work picture on the passport window: load, remove, export.

#include "app/guard.h"
#include "app/pasport.h"
#include "ui_pasport.h"

void TPasport::connectPicture() {}
void TPasport::AddImgClick() {}
void TPasport::DelImgClick() {}
bool TPasport::SaveWorkPicture(const QString &) { return false; }
