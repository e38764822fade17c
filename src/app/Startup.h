#pragma once

// The program's start-up: reads the launcher's arguments, checks the menu right and the
// company, and opens the document window of the form mode. Returns the exit code.
int runProgram(int argc, char** argv);
