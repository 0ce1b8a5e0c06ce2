/*
 * sde61.h - the C interface of the xBase engine libsde61.so.
 *
 * The engine reads and writes dBASE III tables (.DBF), their memo files (.DBT)
 * and Clipper indexes (.NTX) that other xBase programs share with us.  Every
 * open table lives in a numbered work area with an alias; most calls act on the
 * currently selected work area (sx_Select).
 *
 * Conventions of this interface:
 *   - Texts are 8-bit, in the table's ANSI code page (Windows-1252).  With OEM
 *     translation on, the engine stores code page 850 and translates character
 *     and memo fields on every read and write.
 *   - Functions returning int give 1 (true) / 0 (false) for success or a
 *     count/number; a failure sets the text returned by sx_ErrorText().
 *   - Output buffers: the caller passes the buffer and its size; the function
 *     returns the full length of the value (without the terminating NUL) and
 *     writes as much as fits, always NUL terminated when size > 0.  Call with
 *     size 0 to learn the length.  A negative result is a failure.
 *   - No C++ exception ever leaves one of these functions.
 *   - The engine is used from one thread.
 */
#ifndef SDE61_H
#define SDE61_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(SDE61_BUILDING)
#define SDE61_API __attribute__((visibility("default")))
#else
#define SDE61_API
#endif

/* Open modes of sx_UseEx. */
#define SX_SHARED 0
#define SX_READONLY 1
#define SX_EXCLUSIVE 2

/* Table type: dBASE III table, .DBT memos, Clipper .NTX indexes. */
#define SX_SDENTX 1

/* Commit levels of sx_UseEx. */
#define SX_COMMIT_FULL 0   /* committed records are synced to disk */
#define SX_COMMIT_NORMAL 1 /* committed records are handed to the OS at once */

/* File type of sx_AppendFrom: fixed-width SDF text. */
#define SX_SDF_FILE 22

/* Progress of an index build, percent 0..100. */
typedef void (*sx_ProgressFn)(void* context, int percent);

/* ---- Errors ---------------------------------------------------------- */

/* Level 0: failures are only recorded; level 1 and above: the same (the
 * engine never shows dialogs); kept for callers that toggle it around opens. */
SDE61_API void sx_ErrorLevel(int level);
/* Text of the last failure of this process, "" when the last call succeeded
 * or nothing failed yet.  Valid until the next engine call. */
SDE61_API const char* sx_ErrorText(void);

/* Kinds of failure, as sx_ErrorCode gives them. */
#define SX_ERR_NONE 0          /* the last call succeeded */
#define SX_ERR_NOT_FOUND 1     /* a file or field that does not exist */
#define SX_ERR_CORRUPTION 2    /* a file whose contents do not fit its format */
#define SX_ERR_IO 3            /* the operating system refused a read, write or sync */
#define SX_ERR_LOCKED 4        /* another program (or work area) holds the file or record */
#define SX_ERR_INVALID 5       /* a call whose arguments or state make no sense */
#define SX_ERR_NOT_SUPPORTED 6 /* a valid file feature the engine does not handle */
#define SX_ERR_INTERNAL 7      /* a fault inside the engine */
/* Kind of the failure that sx_ErrorText describes, SX_ERR_NONE after a success.
 * A caller may try again after SX_ERR_LOCKED. */
SDE61_API int sx_ErrorCode(void);

/* ---- Work areas -------------------------------------------------------- */

/* Work area number of an open table with this alias (case-insensitive), or 0. */
SDE61_API int sx_WorkArea(const char* alias);
/* Opens a table; returns its work area (>= 1) and selects it, or 0 on failure.
 * ".DBF" is added to a name without extension; the name is matched without
 * regard to case.  Shared and read-only opens fail while another program holds
 * the file exclusively, an exclusive open while anyone has it open.  The table
 * opens on its first record (at its end when it has none). */
SDE61_API int sx_UseEx(const char* file, const char* alias, int openMode, int tableType,
                       int commitLevel);
/* Makes a work area current; returns the previous one (0 if none). */
SDE61_API int sx_Select(int workArea);
/* Closes the current work area with its indexes; returns 1 on success. */
SDE61_API int sx_Close(void);
/* Alias of the current work area, "" when none. */
SDE61_API const char* sx_Alias(void);

/* OEM translation on (non-zero) or off for the current table; returns the old state. */
SDE61_API int sx_SetTranslate(int on);
/* Hands the table password to the current table.  Returns 1 when the table
 * accepts it (or is not encrypted), 0 for a wrong password. */
SDE61_API int sx_SetPassword(const char* password);

/* ---- Structure --------------------------------------------------------- */

SDE61_API int sx_FieldCount(void);
/* Name of the field at position 1..count into buf (see buffer convention). */
SDE61_API int sx_FieldName(int position, char* buf, int size);
/* Type letter ('C','N','D','L','M','F') of the field at position 1..count, 0 if none. */
SDE61_API char sx_FieldType(int position);
SDE61_API int sx_FieldWidth(int position);
SDE61_API int sx_FieldDecimals(int position);
/* One field's description as sx_FieldInfo hands it out. */
typedef struct sx_FieldDesc {
    char name[12];  /* NUL-terminated, at most 11 characters */
    char type;      /* as sx_FieldType */
    int width;
    int decimals;
} sx_FieldDesc;
/* Describes the fields at positions 1..size of the current table in out[0..];
 * returns the table's field count (only the first size entries are written;
 * size 0 learns the count), or -1 when no table is selected. */
SDE61_API int sx_FieldInfo(sx_FieldDesc* out, int size);
/* Position (1..count) of a field by name (case-insensitive, alias prefix allowed), 0 if absent. */
SDE61_API int sx_FieldPos(const char* name);
/* Length of a record including the deletion flag byte. */
SDE61_API int sx_RecSize(void);

/* ---- Navigation -------------------------------------------------------- */

/* Moves in the current index order, physical order without one.  Return 1 on
 * success, 0 on failure (the error text says why); a failed move leaves the
 * table at its end, so that a walk until sx_Eof ends. */
SDE61_API int sx_GoTop(void);
SDE61_API int sx_GoBottom(void);
SDE61_API int sx_Go(long recordNumber);
SDE61_API int sx_Skip(long count);
SDE61_API int sx_Eof(void);
SDE61_API int sx_Bof(void);
SDE61_API long sx_RecNo(void);
/* Records in the file, deleted ones included (re-read in shared mode). */
SDE61_API long sx_RecCount(void);

/* ---- Reading ----------------------------------------------------------- */

/* Copies the current record (flag byte first, sx_RecSize() bytes) into buf;
 * returns the record size, or -1 (at end of table an all-blank record is given). */
SDE61_API int sx_GetRecord(char* buf, int size);
/* Text of a field at its full width; memo fields give the memo text. */
SDE61_API int sx_GetString(const char* field, char* buf, int size);
/* 1 when the field holds only blanks (or an empty memo), 0 otherwise, -1 on failure. */
SDE61_API int sx_Empty(const char* field);
/* Memo text of a memo field (buffer convention). */
SDE61_API int sx_GetMemo(const char* field, char* buf, int size);
/* 1 when the current record is marked deleted. */
SDE61_API int sx_Deleted(void);

/* ---- Writing ----------------------------------------------------------- */

/* Appends a blank record, which becomes current (and stays locked in shared
 * mode until sx_Unlock); returns 1 on success. */
SDE61_API int sx_AppendBlank(void);
/* Appends a record built from buf as sx_PutRecord takes it; it becomes
 * current (locked in shared mode until sx_Unlock).  In shared mode the
 * record reaches the file complete, never blank first; a refused field
 * appends nothing.  Index changes follow at sx_Commit. */
SDE61_API int sx_AppendRecord(const char* buf, int size);
/* Replaces the current record with buf (flag byte first, sx_RecSize() bytes).
 * Memo pointers in buf are ignored: memos change only through sx_PutMemo.
 * Numeric text that does not fit its field is refused. */
SDE61_API int sx_PutRecord(const char* buf, int size);
/* Writes a field's value from text (padded or refused as for sx_PutRecord). */
SDE61_API int sx_Replace(const char* field, const char* text);
/* Writes a memo's text (length bytes); an empty text blanks the pointer. */
SDE61_API int sx_PutMemo(const char* field, const char* text, int length);
SDE61_API int sx_Delete(void);
SDE61_API int sx_Recall(void);
/* Writes the pending change of the current record and hands written records
 * (and index changes) to the file system, per commit level.  In shared use the
 * record is locked and read again first, and only the fields changed since it
 * was read are written: what another program changed in the other fields
 * stays.  A refused commit writes nothing and drops the change; the record
 * reads as the file holds it. */
SDE61_API int sx_Commit(void);
/* Drops the change of the current record that is not committed yet: the
 * record reads as the file holds it.  A record appended in exclusive use and
 * not committed goes again (the table stands at its end). */
SDE61_API int sx_Discard(void);
/* Releases the lock of record recordNumber, all record locks for 0. */
SDE61_API int sx_Unlock(long recordNumber);
/* Locks record recordNumber for a write in shared use, not waiting (in
 * exclusive use there is nothing to lock); 0 with SX_ERR_LOCKED when another
 * program holds it.  Kept until sx_Unlock.  The commit of a change takes the
 * same lock itself; taking it first lets a caller wait for it before
 * changing anything. */
SDE61_API int sx_Rlock(long recordNumber);
/* Removes all records (exclusive use only); empties the memo file and every open index. */
SDE61_API int sx_Zap(void);

/* ---- Creating and copying --------------------------------------------- */

/* Starts the definition of a new table file with fieldCount fields. */
SDE61_API int sx_CreateNew(const char* file, const char* alias, int tableType, int fieldCount);
/* Adds a field: type "C", "N", "D", "L" or "M". */
SDE61_API int sx_CreateField(const char* name, const char* type, int width, int decimals);
/* Writes the defined table (and its .DBT when a memo field exists); returns 1 on
 * success.  The new table is opened exclusively in a new work area which becomes
 * current, so that the caller closes it with sx_Close. */
SDE61_API int sx_CreateExec(void);
/* Password for the next sx_CreateExec: the new table is encrypted with it
 * (NULL or "" for a plain table). */
SDE61_API int sx_CreatePassword(const char* password);
/* Writes an empty table with the current table's fields (left closed; the
 * alias is not used). */
SDE61_API int sx_CopyStructure(const char* target, const char* alias);
/* Copies the current table with all records and memos to target (replaced if present). */
SDE61_API int sx_CopyFile(const char* target);
/* Appends records from a text file; fileType SX_SDF_FILE; scope NULL or "" for
 * all lines (a scope condition is refused).  One record per line, fields by
 * position and width; short lines are filled with blanks, long ones cut. */
SDE61_API int sx_AppendFrom(const char* source, int fileType, const char* scope);

/* ---- Expressions ------------------------------------------------------- */

/* Evaluates an xBase expression on the current record, result as text
 * (numbers as STR() would give them, dates as DTOS, logicals "T"/"F"). */
SDE61_API int sx_EvalString(const char* expression, char* buf, int size);
/* 1 when the expression compiles (for logical expressions: evaluates to true),
 * 0 otherwise; -1 when it does not compile. */
SDE61_API int sx_EvalTest(const char* expression);
/* Type letter of an expression's result ('C','N','D','L'), 0 when it does not compile. */
SDE61_API char sx_EvalType(const char* expression);

/* ---- Indexes ----------------------------------------------------------- */

/* Opens an NTX index on the current table; returns its order (>= 1), which
 * becomes the current order; an index already open returns its order. 0 on failure. */
SDE61_API int sx_IndexOpen(const char* file);
/* Current order (0: physical order); returns the previous order; keeps the current record. */
SDE61_API int sx_SetOrder(int order);
/* Builds an NTX index; returns its order (current from then on), 0 on failure.
 * An encrypted table needs its password first (sx_SetPassword). */
SDE61_API int sx_Index(const char* file, const char* expression, const char* condition,
                       int unique, int descend);
/* Closes all indexes of the current table. */
SDE61_API int sx_IndexClose(void);
/* Key expression of an order (buffer convention). */
SDE61_API int sx_IndexKey(int order, char* buf, int size);
/* Seeks a key in the current order; returns 1 when found (record current),
 * 0 when not found or on failure (table at end).  sx_Found gives the result
 * of this seek, false after a failed one. */
SDE61_API int sx_Seek(const char* key);
SDE61_API int sx_Found(void);
/* Progress of index builds goes to fn (NULL: none). */
SDE61_API void sx_SetGaugeHook(sx_ProgressFn fn, void* context);

/* ---- Files ------------------------------------------------------------- */

/* Whether a table, memo or index file is in use: 1 when this process has it
 * open through the engine or any program holds a lock on it (every program
 * sharing the files locks them at open), 0 when not or when the file does not
 * exist, -1 on failure.  The file itself is not opened, so that no lock this
 * process holds on it through another descriptor is dropped. */
SDE61_API int sx_FileInUse(const char* file);

#ifdef __cplusplus
}
#endif

#endif /* SDE61_H */
