/* A stand-in for gpsbabel.exe in the command line's tests under Wine. It
 * appends its arguments, one a line in brackets, to the file named by
 * TRK7700_FAKE_GPSBABEL_LOG, followed by "console: none" or "console: own"
 * (whether it was given a console window), then writes a small valid output
 * of the format after -o to the file after -F, as GPSBabel would. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    const char *logName = getenv("TRK7700_FAKE_GPSBABEL_LOG");
    const char *format = NULL, *output = NULL;
    FILE *log = logName != NULL ? fopen(logName, "ab") : NULL;
    for (int i = 1; i < argc; ++i) {
        if (log != NULL) fprintf(log, "[%s]\n", argv[i]);
        if (strcmp(argv[i], "-o") == 0 && i + 1 < argc) format = argv[i + 1];
        if (strcmp(argv[i], "-F") == 0 && i + 1 < argc) output = argv[i + 1];
    }
    if (log != NULL) {
        fprintf(log, "console: %s\n", GetConsoleWindow() != NULL ? "own" : "none");
        fclose(log);
    }
    if (format == NULL || output == NULL) return 1;
    FILE *out = fopen(output, "wb");
    if (out == NULL) return 1;
    if (strcmp(format, "gpx") == 0) /* A GPX of a log with points holds track points. */
        fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.0\" creator=\"test\">\n"
              "<trk><trkseg><trkpt lat=\"48.1\" lon=\"11.5\"/></trkseg></trk>\n</gpx>\n",
              out);
    else if (strcmp(format, "kml") == 0)
        fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n</kml>\n",
              out);
    else if (strcmp(format, "ozi") == 0)
        fputs("OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n"
              "0,2,255,Wayfolk,0,0,2,8421376\r\n0\r\n",
              out);
    else
        return 1;
    return fclose(out) == 0 ? 0 : 1;
}
