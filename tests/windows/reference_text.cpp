// trk7700-reference-text: reads the log of the logger on COM<n> into a track
// text file with the Linux build of the library. The Windows tests compare the
// text that TRK7700_DLL.dll makes from the same simulated log with it.
#include "TRK7700_DLL.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "Usage: trk7700-reference-text COM-NUMBER TEXT-FILE (the port from TRK7700_PORT_DIR)\n");
        return 2;
    }
    const int32_t com = std::atoi(argv[1]);
    int32_t result = QZ_TRK7700_INTO_DUMP_MODE(com);
    if (result != return_into_dump_mode_successful) {
        std::fprintf(stderr, "trk7700-reference-text: COM%d: %d %s\n", com, result, trk7700_result_name(result));
        return 1;
    }
    result = QZ_TRK7700_DUMP_DB(com, argv[2]);
    QZ_TRK7700_EXIT_DUMP_MODE();
    if (result != return_dump_db_successful) {
        std::fprintf(stderr, "trk7700-reference-text: %d %s\n", result, trk7700_result_name(result));
        return 1;
    }
    return 0;
}
