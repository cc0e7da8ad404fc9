// The program's entry point: a Qt application around RunProgram.
#include "app/run_program.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marovellastrine"));
    return mv::RunProgram();
}
