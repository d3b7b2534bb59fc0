#pragma once
// The fixed material of the demo order book: Italian departments, work phases, routings,
// subcontractors, customers, places, people and texts the generator combines.

#include <span>

namespace erpdb::detail {

struct Place {
    const char* city;
    const char* cap;
    const char* province;
    const char* areaCode; // telephone prefix without the leading 0
};

struct Department {
    const char* code;
    const char* description;
    const char* head;
};

struct Phase {
    int code;
    const char* description;
    bool external;
    const char* department; // internal phases
    int days;               // usual lead time
};

// One step of a routing: a phase, or a phase split into sub-phases worked one after the other.
struct RoutingStep {
    int phase;
    int subPhases[3]; // 0-terminated phase codes of the sub-phases, or all 0
};

struct ArticleKind {
    const char* prefix;
    const char* description; // printf pattern with two integers
    const char* family;
    const char* subfamily;
    const char* unit;
    RoutingStep routing[8]; // ends at phase 0
};

struct Company {
    const char* name;
    const char* domain;
};

struct Subcontractor {
    const char* name;
    const char* domain;
    int phases[4]; // external phases it works, 0-terminated
};

struct CodeText {
    const char* code;
    const char* text;
};

struct FixedText {
    const char* code;
    const char* description;
    const char* text;
};

std::span<const Place> places();
std::span<const char* const> streets();
std::span<const Department> departments();
std::span<const Phase> phases();
const Phase* findPhase(int code);
std::span<const ArticleKind> articleKinds();
std::span<const Subcontractor> subcontractors();
std::span<const Company> customers();
std::span<const char* const> firstNames();
std::span<const char* const> lastNames();
std::span<const CodeText> contactTypes();
std::span<const CodeText> families();
std::span<const CodeText> constructionNotes();
std::span<const FixedText> fixedTexts();
std::span<const CodeText> jobs();
std::span<const CodeText> projects();

} // namespace erpdb::detail
