#include "mainwindow/Application.h"

int main(int argc, char** argv) { return km::RunKestrum(argc, argv); }
