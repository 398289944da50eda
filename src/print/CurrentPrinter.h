#pragma once
// The process's current printer: the system default until the user picks another printer, paper
// or orientation in the printer setup dialog; that choice holds until the program ends and is not
// stored.

class QPrinter;

namespace print {

// Created on first use, at the printer's own resolution. Needs a QGuiApplication.
QPrinter& currentPrinter();

}  // namespace print
