file(READ ${IN} text)
file(WRITE ${OUT} "// Generated from schema.sql by the build.\n#include \"db/makedatabase.h\"\nnamespace lumivox {\nconst char *const kSchemaSql = R\"lumivox_schema(${text})lumivox_schema\";\n}\n")
