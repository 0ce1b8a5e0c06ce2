// The list of every engine entry point the table layer
// looks up in libsde61.so.
//
// One X-macro so that the function table, the symbol look-up and the test
// libraries are all generated from the same list and cannot drift apart.
// Plain preprocessor only: C test sources include it too.
#ifndef ZER1_STORAGE_ENGINE_FUNCTIONS_H
#define ZER1_STORAGE_ENGINE_FUNCTIONS_H

/* X(name) is expanded once per entry point; the symbol is "sx_" name. */
#define ZER1_ENGINE_FUNCTIONS(X) \
    X(ErrorLevel)                \
    X(ErrorText)                 \
    X(ErrorCode)                 \
    X(WorkArea)                  \
    X(UseEx)                     \
    X(Select)                    \
    X(Close)                     \
    X(Alias)                     \
    X(SetTranslate)              \
    X(SetPassword)               \
    X(FieldCount)                \
    X(FieldName)                 \
    X(FieldType)                 \
    X(FieldWidth)                \
    X(FieldDecimals)             \
    X(FieldInfo)                 \
    X(FieldPos)                  \
    X(RecSize)                   \
    X(GoTop)                     \
    X(GoBottom)                  \
    X(Go)                        \
    X(Skip)                      \
    X(Eof)                       \
    X(Bof)                       \
    X(RecNo)                     \
    X(RecCount)                  \
    X(GetRecord)                 \
    X(GetString)                 \
    X(Empty)                     \
    X(GetMemo)                   \
    X(Deleted)                   \
    X(AppendRecord)              \
    X(PutRecord)                 \
    X(Replace)                   \
    X(PutMemo)                   \
    X(Delete)                    \
    X(Recall)                    \
    X(Commit)                    \
    X(Discard)                   \
    X(Unlock)                    \
    X(Rlock)                     \
    X(Zap)                       \
    X(CreateNew)                 \
    X(CreateField)               \
    X(CreateExec)                \
    X(CreatePassword)            \
    X(CopyStructure)             \
    X(CopyFile)                  \
    X(AppendFrom)                \
    X(EvalString)                \
    X(EvalTest)                  \
    X(EvalType)                  \
    X(IndexOpen)                 \
    X(SetOrder)                  \
    X(Index)                     \
    X(IndexClose)                \
    X(IndexKey)                  \
    X(Seek)                      \
    X(Found)                     \
    X(SetGaugeHook)              \
    X(FileInUse)

#endif  // ZER1_STORAGE_ENGINE_FUNCTIONS_H
