#pragma once

namespace scadlav {

// The kinds of code the host's lookups and decodes know. Qualifiers that pick a variant of a
// kind (the statistical group number "1".."4", the project class letter "A".."C") travel as
// the first parent code.
enum class CodeKind {
    Article,
    Family,
    Subfamily,
    Group,
    Subgroup,
    ProductType,
    StatisticalGroup,
    Origin,
    ArticleState,
    Customer,
    Supplier,
    Document,
    Department,
    Phase,
    Job,
    Project,
    SubProject,
    Node,
    ProjectType,
    ProjectState,
    ProjectClass,
    FixedText,
    ContactType,
};

} // namespace scadlav
