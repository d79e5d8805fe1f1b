#include "sections/subjects.h"

TSubjects::TSubjects(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Subjects"));
}
