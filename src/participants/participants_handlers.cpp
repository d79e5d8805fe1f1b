// Authors and supervisors: adding by ID, names, deletion, invoice recipient.

#include "app/guard.h"
#include "app/pasport.h"
#include "participants/form1.h"
#include "ui_pasport.h"

void TPasport::connectParticipants() {}
void TPasport::AuthorAddClick() {}
void TPasport::TeacherAddClick() {}
void TPasport::AuthorDeleteClick() {}
void TPasport::TeacherDeleteClick() {}
void TPasport::AuthorSelectClick() {}
void TPasport::TeacherSelectClick() {}
void TPasport::AuthorsLastnameChange() {}
void TPasport::AuthorsNameChange() {}
void TPasport::AuthorsPatronymicChange() {}
void TPasport::TeachersLastnameChange() {}
void TPasport::TeachersNameChange() {}
void TPasport::TeachersPatronymicChange() {}
