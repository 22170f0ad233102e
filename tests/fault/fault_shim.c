/* Fault injection for end-to-end runs: preloaded into vorn (LD_PRELOAD), it
 * wraps the C library calls the platform layer makes and lets a chosen one
 * fail, stall or kill the process, as the environment variable VORN_FAULT
 * says. See README.md beside this file for the rule language. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/fs.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

enum { MaxRules = 8, MaxText = 256 };

struct Rule {
  char Call[32];
  char Path[MaxText];   /* substring of the path; a closing '$' anchors it */
  char To[MaxText];     /* the same for the second path of rename and linkat */
  int Errno;            /* 0: the call is not failed */
  int Signal;           /* 0: the process is not killed */
  long long After;      /* bytes (read, write, copy_file_range) or calls let through */
  long long Times;      /* faults left; negative: no limit */
  long long Max;        /* largest byte count one call may move; 0: no cap */
  long long DelayUs;    /* sleep before every matching call */
  long long Ms;         /* timer: milliseconds after start */
  long long Passed;     /* bytes or calls let through so far */
};

static struct Rule Rules[MaxRules];
static int RuleCount;
static const char* LogPath;
static const char* TallyPath;

/* ------------------------------------------------------------------------ */
/* Logging */

/* The library's own function of that name, looked up once. */
#define REAL(name)                                                       \
  ({                                                                     \
    static __typeof__(&name) real;                                       \
    if (real == NULL) real = (__typeof__(&name))dlsym(RTLD_NEXT, #name); \
    real;                                                                \
  })

/* One line for each fault that struck, in the run's log and in the tally
 * the reliability report counts; only async-signal-safe calls, since the
 * timer's kill is logged from its signal handler. */
static void Append(const char* path, const char* line, size_t length) {
  __typeof__(&open) realOpen = REAL(open);
  __typeof__(&write) realWrite = REAL(write);
  __typeof__(&close) realClose = REAL(close);
  if (path == NULL) return;
  int fd = realOpen(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  ssize_t ignored = realWrite(fd, line, length);
  (void)ignored;
  realClose(fd);
}

static void Log(const char* line, size_t length) {
  Append(LogPath, line, length);
  Append(TallyPath, line, length);
}

static void LogFault(const char* call, const char* path, const struct Rule* rule) {
  char line[PATH_MAX + 128];
  int length = snprintf(line, sizeof line, "%s %s %s%d\n", call, path ? path : "-",
                        rule->Signal ? "signal " : "errno ",
                        rule->Signal ? rule->Signal : rule->Errno);
  Log(line, (size_t)length);
}

/* ------------------------------------------------------------------------ */
/* Rule language */

/* A rule that cannot be read would make a test pass without its fault. */
__attribute__((noreturn)) static void Refuse(const char* problem, const char* text) {
  fprintf(stderr, "VORN_FAULT: %s: %s\n", problem, text);
  _exit(126);
}

static int ErrnoByName(const char* name) {
  static const struct {
    const char* Name;
    int Value;
  } names[] = {{"ENOSPC", ENOSPC}, {"EIO", EIO},       {"ENOENT", ENOENT},
               {"EACCES", EACCES}, {"EPERM", EPERM},   {"EXDEV", EXDEV},
               {"EROFS", EROFS},   {"EDQUOT", EDQUOT}, {"EOPNOTSUPP", EOPNOTSUPP},
               {"ENOTEMPTY", ENOTEMPTY}, {"EBUSY", EBUSY}, {"ENAMETOOLONG", ENAMETOOLONG},
               {"EINTR", EINTR},   {"ESTALE", ESTALE}, {"ENOMEM", ENOMEM},
               {"EMFILE", EMFILE}, {"ELOOP", ELOOP},   {"EISDIR", EISDIR},
               {"EEXIST", EEXIST}};
  for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i)
    if (strcmp(names[i].Name, name) == 0) return names[i].Value;
  Refuse("unknown errno name", name);
}

static int SignalByName(const char* name) {
  if (strcmp(name, "KILL") == 0) return SIGKILL;
  if (strcmp(name, "TERM") == 0) return SIGTERM;
  if (strcmp(name, "INT") == 0) return SIGINT;
  Refuse("unknown signal name", name);
}

static void Copy(char* to, const char* from) {
  strncpy(to, from, MaxText - 1);
  to[MaxText - 1] = '\0';
}

/* One rule: "call" followed by ":key=value" settings. */
static void ParseRule(char* text) {
  if (*text == '\0') return;
  if (RuleCount == MaxRules) Refuse("too many rules at", text);
  struct Rule* rule = &Rules[RuleCount++];
  memset(rule, 0, sizeof *rule);
  rule->Times = -1;
  char* save = NULL;
  char* part = strtok_r(text, ":", &save);
  strncpy(rule->Call, part, sizeof rule->Call - 1);
  while ((part = strtok_r(NULL, ":", &save)) != NULL) {
    char* value = strchr(part, '=');
    if (value == NULL) Refuse("setting without a value", part);
    *value++ = '\0';
    if (strcmp(part, "errno") == 0) rule->Errno = ErrnoByName(value);
    else if (strcmp(part, "signal") == 0) rule->Signal = SignalByName(value);
    else if (strcmp(part, "path") == 0) Copy(rule->Path, value);
    else if (strcmp(part, "to") == 0) Copy(rule->To, value);
    else if (strcmp(part, "after") == 0) rule->After = atoll(value);
    else if (strcmp(part, "times") == 0) rule->Times = atoll(value);
    else if (strcmp(part, "max") == 0) rule->Max = atoll(value);
    else if (strcmp(part, "delay_us") == 0) rule->DelayUs = atoll(value);
    else if (strcmp(part, "ms") == 0) rule->Ms = atoll(value);
    else Refuse("unknown setting", part);
  }
}

static struct Rule* Timer;
static char TimerLine[64];

static void KillOnTimer(int signal) {
  (void)signal;
  Log(TimerLine, strlen(TimerLine));
  kill(getpid(), Timer->Signal);
}

/* A timer rule kills the process at a moment unrelated to what it is doing. */
static void StartTimer(struct Rule* rule) {
  Timer = rule;
  snprintf(TimerLine, sizeof TimerLine, "timer - signal %d\n", rule->Signal);
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = KillOnTimer;
  action.sa_flags = SA_RESTART;
  sigaction(SIGALRM, &action, NULL);
  struct itimerval timer;
  memset(&timer, 0, sizeof timer);
  timer.it_value.tv_sec = rule->Ms / 1000;
  timer.it_value.tv_usec = (rule->Ms % 1000) * 1000;
  setitimer(ITIMER_REAL, &timer, NULL);
}

__attribute__((constructor)) static void ReadRules(void) {
  const char* text = getenv("VORN_FAULT");
  LogPath = getenv("VORN_FAULT_LOG");
  TallyPath = getenv("VORN_FAULT_TALLY");
  if (text == NULL) return;
  static const char start[] = "run - start 0\n";
  Append(TallyPath, start, sizeof start - 1);
  static char buffer[4096];
  strncpy(buffer, text, sizeof buffer - 1);
  char* save = NULL;
  for (char* rule = strtok_r(buffer, ";", &save); rule != NULL;
       rule = strtok_r(NULL, ";", &save))
    ParseRule(rule);
  for (int i = 0; i < RuleCount; ++i)
    if (strcmp(Rules[i].Call, "timer") == 0 && Rules[i].Signal != 0) StartTimer(&Rules[i]);
}

/* ------------------------------------------------------------------------ */
/* Matching and injecting */

static int HasRule(const char* call) {
  for (int i = 0; i < RuleCount; ++i)
    if (strcmp(Rules[i].Call, call) == 0) return 1;
  return 0;
}

static int PathMatches(const char* pattern, const char* path) {
  if (pattern[0] == '\0') return 1;
  if (path == NULL) return 0;
  size_t length = strlen(pattern);
  if (pattern[length - 1] != '$') return strstr(path, pattern) != NULL;
  --length;
  size_t size = strlen(path);
  return size >= length && strncmp(path + size - length, pattern, length) == 0;
}

/* The file a descriptor is open on, or "" when it cannot be told. */
static const char* DescriptorPath(int fd, char* buffer) {
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, buffer, PATH_MAX - 1);
  buffer[length < 0 ? 0 : length] = '\0';
  return buffer;
}

static struct Rule* FindRule(const char* call, const char* path, const char* to) {
  for (int i = 0; i < RuleCount; ++i) {
    struct Rule* rule = &Rules[i];
    if (strcmp(rule->Call, call) == 0 && PathMatches(rule->Path, path) &&
        PathMatches(rule->To, to))
      return rule;
  }
  return NULL;
}

static void Stall(const struct Rule* rule) {
  if (rule->DelayUs > 0) usleep((useconds_t)rule->DelayUs);
}

/* Whether this call is the one to fail; for a byte call, *count may come back
 * smaller: the bytes still allowed before the fault, moved by a short call. */
static int Strikes(struct Rule* rule, const char* call, const char* path, size_t* count) {
  if (rule->Errno == 0 && rule->Signal == 0) return 0;
  if (rule->Times == 0) return 0;
  if (count != NULL) {
    long long left = rule->After - rule->Passed;
    if (left > 0) {
      if ((long long)*count > left) *count = (size_t)left;
      rule->Passed += (long long)*count;
      return 0;
    }
  } else if (rule->Passed < rule->After) {
    ++rule->Passed;
    return 0;
  }
  if (rule->Times > 0) --rule->Times;
  LogFault(call, path, rule);
  if (rule->Signal != 0) kill(getpid(), rule->Signal);
  errno = rule->Errno;
  return 1;
}

/* Applies the rule for a call on a path: -1 when the call is to fail. */
static int Check(const char* call, const char* path, const char* to) {
  if (!HasRule(call)) return 0;
  struct Rule* rule = FindRule(call, path, to);
  if (rule == NULL) return 0;
  Stall(rule);
  return Strikes(rule, call, path, NULL) ? -1 : 0;
}

/* The same for a call moving *count bytes through descriptor fd. Only regular
 * files count, so the console's own output is never touched. */
static int CheckBytes(const char* call, int fd, size_t* count) {
  if (!HasRule(call) || fd <= 2) return 0;
  struct stat info;
  if (REAL(fstat)(fd, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  char buffer[PATH_MAX];
  const char* path = DescriptorPath(fd, buffer);
  struct Rule* rule = FindRule(call, path, NULL);
  if (rule == NULL) return 0;
  Stall(rule);
  if (rule->Max > 0 && (long long)*count > rule->Max) *count = (size_t)rule->Max;
  return Strikes(rule, call, path, count) ? -1 : 0;
}

static int CheckDescriptor(const char* call, int fd) {
  if (!HasRule(call)) return 0;
  char buffer[PATH_MAX];
  return Check(call, DescriptorPath(fd, buffer), NULL);
}

/* ------------------------------------------------------------------------ */
/* The wrapped calls */

ssize_t read(int fd, void* buffer, size_t count) {
  if (CheckBytes("read", fd, &count) != 0) return -1;
  return REAL(read)(fd, buffer, count);
}

ssize_t write(int fd, const void* buffer, size_t count) {
  if (CheckBytes("write", fd, &count) != 0) return -1;
  return REAL(write)(fd, buffer, count);
}

ssize_t copy_file_range(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t count,
                        unsigned int flags) {
  if (CheckBytes("copy_file_range", out, &count) != 0) return -1;
  return REAL(copy_file_range)(in, inOffset, out, outOffset, count, flags);
}

int ioctl(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  if (request == FICLONE && CheckDescriptor("ioctl", fd) != 0) return -1;
  return REAL(ioctl)(fd, request, argument);
}

int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list arguments;
    va_start(arguments, flags);
    mode = va_arg(arguments, mode_t);
    va_end(arguments);
  }
  if (Check("open", path, NULL) != 0) return -1;
  /* An unnamed file made in directory path. */
  if ((flags & O_TMPFILE) == O_TMPFILE && Check("tmpfile", path, NULL) != 0) return -1;
  return REAL(open)(path, flags, mode);
}

int mkostemp(char* pattern, int flags) {
  if (Check("mkostemp", pattern, NULL) != 0) return -1;
  return REAL(mkostemp)(pattern, flags);
}

int close(int fd) {
  if (!HasRule("close")) return REAL(close)(fd);
  int failed = CheckDescriptor("close", fd);
  /* The descriptor is released even when close reports an error. */
  int result = REAL(close)(fd);
  return failed ? -1 : result;
}

int futimens(int fd, const struct timespec times[2]) {
  if (CheckDescriptor("futimens", fd) != 0) return -1;
  return REAL(futimens)(fd, times);
}

int fchmod(int fd, mode_t mode) {
  if (CheckDescriptor("fchmod", fd) != 0) return -1;
  return REAL(fchmod)(fd, mode);
}

int rename(const char* from, const char* to) {
  if (Check("rename", from, to) != 0) return -1;
  return REAL(rename)(from, to);
}

// A rename that must not replace is a rename all the same.
int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to,
              unsigned int flags) {
  if (Check("rename", from, to) != 0) return -1;
  return REAL(renameat2)(fromDirectory, from, toDirectory, to, flags);
}

int linkat(int fromDirectory, const char* from, int toDirectory, const char* to, int flags) {
  if (Check("linkat", from, to) != 0) return -1;
  return REAL(linkat)(fromDirectory, from, toDirectory, to, flags);
}

int unlink(const char* path) {
  if (Check("unlink", path, NULL) != 0) return -1;
  return REAL(unlink)(path);
}

int mkdir(const char* path, mode_t mode) {
  if (Check("mkdir", path, NULL) != 0) return -1;
  return REAL(mkdir)(path, mode);
}

int rmdir(const char* path) {
  if (Check("rmdir", path, NULL) != 0) return -1;
  return REAL(rmdir)(path);
}

DIR* opendir(const char* path) {
  if (Check("opendir", path, NULL) != 0) return NULL;
  return REAL(opendir)(path);
}

DIR* fdopendir(int fd) {
  if (CheckDescriptor("fdopendir", fd) != 0) return NULL;
  return REAL(fdopendir)(fd);
}

struct dirent* readdir(DIR* stream) {
  if (CheckDescriptor("readdir", dirfd(stream)) != 0) return NULL;
  return REAL(readdir)(stream);
}

int stat(const char* restrict path, struct stat* restrict info) {
  if (Check("stat", path, NULL) != 0) return -1;
  return REAL(stat)(path, info);
}

int fstatat(int directory, const char* restrict path, struct stat* restrict info, int flags) {
  if (Check("fstatat", path, NULL) != 0) return -1;
  return REAL(fstatat)(directory, path, info, flags);
}
