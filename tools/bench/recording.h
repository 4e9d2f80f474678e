/* Reading a recording of record_shim.c, for the replay tools: the whole file in memory, split
 * into lines and tab-separated fields, each field unescaped in place, before the clock starts.
 * Also the replay's clocks and the message log's synced writes. C and C++. */
#ifndef KESTRUMEL_BENCH_RECORDING_H
#define KESTRUMEL_BENCH_RECORDING_H

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#define RECORDING_MAX_FIELDS 4096

static void RecordingFail(const char* what, const char* detail) {
  fprintf(stderr, "replay: %s: %s\n", what, detail != NULL ? detail : "");
  exit(2);
}

static double RecordingNow(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static double RecordingCpu(void) {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec / 1e6 +
         (double)usage.ru_stime.tv_sec + (double)usage.ru_stime.tv_usec / 1e6;
}

/* The file's bytes with a terminating NUL; the caller keeps them for the whole replay. */
static char* RecordingRead(const char* path) {
  FILE* in = fopen(path, "rb");
  if (in == NULL) RecordingFail("cannot open", path);
  struct stat info;
  if (fstat(fileno(in), &info) != 0) RecordingFail("cannot stat", path);
  char* data = (char*)malloc((size_t)info.st_size + 1);
  if (data == NULL) RecordingFail("out of memory for", path);
  if (fread(data, 1, (size_t)info.st_size, in) != (size_t)info.st_size) {
    RecordingFail("cannot read", path);
  }
  data[info.st_size] = '\0';
  fclose(in);
  return data;
}

/* Undoes the shim's escapes in place; returns the length (a text may hold NUL bytes). */
static int RecordingUnescape(char* field) {
  char* to = field;
  for (const char* from = field; *from != '\0'; ++from) {
    if (*from != '\\' || from[1] == '\0') {
      *to++ = *from;
      continue;
    }
    ++from;
    switch (*from) {
      case 't': *to++ = '\t'; break;
      case 'n': *to++ = '\n'; break;
      case 'r': *to++ = '\r'; break;
      case '0': *to++ = '\0'; break;
      default: *to++ = *from;
    }
  }
  *to = '\0';
  return (int)(to - field);
}

/* The next line from *cursor (advanced past it) as fields; the count, or -1 at the end. A
 * line "! WHAT" is a call the shim could not record: no replay can be honest about it. */
static int RecordingNextLine(char** cursor, char** fields, int* lengths) {
  for (;;) {
    char* line = *cursor;
    if (*line == '\0') return -1;
    char* end = strchr(line, '\n');
    if (end != NULL) {
      *end = '\0';
      *cursor = end + 1;
    } else {
      *cursor = line + strlen(line);
    }
    if (*line == '\0' || *line == '#') continue;
    int count = 0;
    for (char* field = line; field != NULL && count < RECORDING_MAX_FIELDS; ++count) {
      char* tab = strchr(field, '\t');
      if (tab != NULL) *tab = '\0';
      fields[count] = field;
      field = tab != NULL ? tab + 1 : NULL;
    }
    for (int i = 0; i < count; ++i) lengths[i] = RecordingUnescape(fields[i]);
    if (fields[0][0] == '!') RecordingFail("the recording holds a call it cannot replay", line + 2);
    return count;
  }
}

/* The message log as the program opens it: every entry reaches the disk before the next. */
static int RecordingOpenLog(const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_SYNC | O_CLOEXEC, 0644);
  if (fd < 0) RecordingFail("cannot open the log", path);
  return fd;
}

static void RecordingWriteLog(int fd, long bytes) {
  static const char kBlank[4096] = {0};
  while (bytes > 0) {
    size_t part = bytes > (long)sizeof kBlank ? sizeof kBlank : (size_t)bytes;
    ssize_t written = write(fd, kBlank, part);
    if (written <= 0) RecordingFail("cannot write the log", "");
    bytes -= written;
  }
}

/* What a replay prints for bench.py: the load is taken off its wall time there. */
static void RecordingReport(double loadSeconds, double loadCpu, long statements, long mismatches) {
  printf("load %.6f\nload_cpu %.6f\nstatements %ld\nmismatches %ld\n", loadSeconds, loadCpu,
         statements, mismatches);
}

#endif
