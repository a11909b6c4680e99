// One problem record as the public problem databases export it in YAML:
// authors, source, award, algebraic, stipulation, options, twins,
// intended-solutions, solution, keywords, comments. Read with yaml-cpp, whose
// exceptions stop here and become one line. Endgame studies (stipulation
// "=" or "+") and fairy pieces, conditions and stipulations are refused by
// name. Splitting an export into documents is the caller's business.
#pragma once

#include <string>
#include <string_view>

#include "chess/problem.h"

// Reads one YAML document. False with one line when it is not an orthodox
// problem record; an empty document is not a problem either.
bool yaml_problem_read(std::string_view document, problem_record* problem, std::string* error);

// True when the document holds nothing but comments and blank lines.
bool yaml_document_blank(std::string_view document);
