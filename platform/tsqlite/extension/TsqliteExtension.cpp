// The embedded database as a loadable SQLite extension: "sqlite3 FILE -cmd '.load libtsqlite_ext'"
// gives the shell (or any SQLite tool that loads extensions) the collation ERPCI and the T-SQL
// functions every column and rewritten statement of our files rely on, registered by the same
// code as on every connection of the library.
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include <tsqlite/tsqlite.h>

// SQLite looks for "sqlite3_" + the file name's letters after "lib" + "_init".
extern "C" __attribute__((visibility("default"))) int
sqlite3_tsqliteext_init(sqlite3* db, char** errorMessage, const sqlite3_api_routines* api) {
    SQLITE_EXTENSION_INIT2(api);
    const int rc = tsqlite::registerDialect(db);
    if (rc != SQLITE_OK && errorMessage)
        *errorMessage =
            sqlite3_mprintf("tsqlite: the collation and functions could not be registered (%d)", rc);
    return rc;
}
