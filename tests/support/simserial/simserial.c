/*
 * libsimserial: LD_PRELOAD library that turns /dev/ttyS0../dev/ttyS3 and
 * /dev/modem into simulated serial ports for the test sandbox.
 *
 * A port NAME is simulated when $SIMSERIAL_DIR/NAME/ exists; its data path is
 * the pty slave named in $SIMSERIAL_DIR/NAME/pty (held open by simport).
 * USB adapters (/dev/ttyUSBn, /dev/ttyACMn) are ports too, reached by their
 * name or through any link to it (/dev/serial/by-id/...); while
 * $SIMSERIAL_DIR/NAME/unplugged exists the adapter is pulled out: opens fail
 * with ENOENT and the modem-line ioctls of a descriptor still open with EIO.
 * Every open of a simulated port is recorded in $SIMSERIAL_DIR/NAME/opens.
 * Modem-line ioctls on a descriptor of such a pty are answered here:
 *   inputs  (DCD, CTS, RI, DSR) come from $SIMSERIAL_DIR/NAME/lines, their
 *   transitions are counted in $SIMSERIAL_DIR/NAME/icount (TIOCGICOUNT,
 *   TIOCMIWAIT),
 *   outputs (RTS, DTR) live in $SIMSERIAL_DIR/NAME/outputs, and every
 *   TIOCMSET/TIOCMBIS/TIOCMBIC appends a line to $SIMSERIAL_DIR/NAME/control.log.
 *
 * The hooks may run inside signal handlers (a SIGALRM tick probing the line)
 * and in any thread, so the port paths use raw system calls, stack buffers and
 * no locks of our own; cross-process read-modify-write of the outputs is
 * serialised with flock on the outputs file.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

/* ---- real functions ---------------------------------------------------- */

typedef int (*open_fn)(const char *, int, ...);
typedef int (*openat_fn)(int, const char *, int, ...);
typedef int (*open2_fn)(const char *, int);
typedef int (*openat2_fn)(int, const char *, int);
typedef FILE *(*fopen_fn)(const char *, const char *);
typedef int (*ioctl_fn)(int, unsigned long, ...);

static void *real_sym(void **slot, const char *name)
{
    void *p = __atomic_load_n(slot, __ATOMIC_ACQUIRE);
    if (!p) {
        p = dlsym(RTLD_NEXT, name);
        __atomic_store_n(slot, p, __ATOMIC_RELEASE);
    }
    return p;
}

static void *r_open, *r_open64, *r_openat, *r_openat64, *r_open_2, *r_open64_2,
    *r_openat_2, *r_openat64_2, *r_fopen, *r_fopen64, *r_ioctl;

/* Resolve early so that hooks running in signal handlers need no dlsym. */
__attribute__((constructor)) static void simserial_init(void)
{
    real_sym(&r_open, "open");
    real_sym(&r_open64, "open64");
    real_sym(&r_openat, "openat");
    real_sym(&r_openat64, "openat64");
    real_sym(&r_open_2, "__open_2");
    real_sym(&r_open64_2, "__open64_2");
    real_sym(&r_openat_2, "__openat_2");
    real_sym(&r_openat64_2, "__openat64_2");
    real_sym(&r_fopen, "fopen");
    real_sym(&r_fopen64, "fopen64");
    real_sym(&r_ioctl, "ioctl");
}

/* ---- small async-signal-safe helpers ----------------------------------- */

static int sys_open(const char *path, int flags, mode_t mode)
{
    return (int)syscall(SYS_openat, AT_FDCWD, path, flags | O_CLOEXEC, mode);
}

static int sys_stat(const char *path, struct stat *st)
{
    return (int)syscall(SYS_newfstatat, AT_FDCWD, path, st, 0);
}

/* Appends src to dst (capacity cap) and reports truncation. */
static int append(char *dst, size_t cap, const char *src)
{
    size_t n = strlen(dst), m = strlen(src);
    if (n + m + 1 > cap)
        return -1;
    memcpy(dst + n, src, m + 1);
    return 0;
}

static void append_uint(char *dst, size_t cap, unsigned long v, int width)
{
    char tmp[32];
    int i = 0;
    do {
        tmp[i++] = (char)('0' + v % 10);
        v /= 10;
    } while (v && i < 30);
    while (i < width && i < 30)
        tmp[i++] = '0';
    char out[32];
    int j = 0;
    while (i > 0)
        out[j++] = tmp[--i];
    out[j] = '\0';
    append(dst, cap, out);
}

/* Reads at most cap-1 bytes of a small file; returns length or -1. */
static ssize_t read_small(const char *path, char *buf, size_t cap)
{
    int fd = sys_open(path, O_RDONLY, 0);
    if (fd < 0)
        return -1;
    ssize_t n = 0;
    while ((size_t)n < cap - 1) {
        ssize_t r = read(fd, buf + n, cap - 1 - (size_t)n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        n += r;
    }
    close(fd);
    buf[n] = '\0';
    return n;
}

static int write_all(int fd, const char *buf, size_t len);

/* ---- ports --------------------------------------------------------------- */

static const char *const port_names[] = {"ttyS0", "ttyS1", "ttyS2", "ttyS3", "modem"};
#define PORT_COUNT (sizeof port_names / sizeof port_names[0])
#define NAME_CAP 16

/* ttyUSBn and ttyACMn, n of one or two digits: the names USB adapters get. */
static int is_usb_name(const char *name)
{
    const char *d;
    if (strncmp(name, "ttyUSB", 6) == 0)
        d = name + 6;
    else if (strncmp(name, "ttyACM", 6) == 0)
        d = name + 6;
    else
        return 0;
    size_t n = strlen(d);
    if (n < 1 || n > 2)
        return 0;
    for (size_t i = 0; i < n; i++)
        if (d[i] < '0' || d[i] > '9')
            return 0;
    return 1;
}

/* Copies the port name of a /dev path we take over into name; -1 when not ours. */
static int port_name_of(const char *path, char *name)
{
    if (!path || strncmp(path, "/dev/", 5) != 0)
        return -1;
    for (size_t i = 0; i < PORT_COUNT; i++)
        if (strcmp(path + 5, port_names[i]) == 0) {
            memcpy(name, port_names[i], strlen(port_names[i]) + 1);
            return 0;
        }
    if (!is_usb_name(path + 5))
        return -1;
    memcpy(name, path + 5, strlen(path + 5) + 1);
    return 0;
}

/*
 * The port a path names, directly or through links under /dev (the kernel
 * resolves them: an O_PATH open reads nothing and opens no device).
 */
static int port_of_path(const char *path, char *name)
{
    if (port_name_of(path, name) == 0)
        return 0;
    if (!path || strncmp(path, "/dev/", 5) != 0)
        return -1;
    struct stat st;
    if (syscall(SYS_newfstatat, AT_FDCWD, path, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode))
        return -1;
    int fd = (int)syscall(SYS_openat, AT_FDCWD, path, O_PATH | O_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    char proc[64] = "/proc/self/fd/", resolved[256];
    append_uint(proc, sizeof proc, (unsigned long)fd, 1);
    ssize_t n = syscall(SYS_readlinkat, AT_FDCWD, proc, resolved, sizeof resolved - 1);
    close(fd);
    if (n <= 0)
        return -1;
    resolved[n] = '\0';
    return port_name_of(resolved, name);
}

static int port_file(char *buf, size_t cap, const char *port, const char *leaf)
{
    const char *dir = getenv("SIMSERIAL_DIR");
    buf[0] = '\0';
    if (!dir || !*dir)
        return -1;
    if (append(buf, cap, dir) || append(buf, cap, "/") || append(buf, cap, port))
        return -1;
    if (leaf && (append(buf, cap, "/") || append(buf, cap, leaf)))
        return -1;
    return 0;
}

static int is_pty_slave(const struct stat *st)
{
    unsigned maj = major(st->st_rdev);
    return S_ISCHR(st->st_mode) && maj >= 136 && maj <= 143;
}

/*
 * Reads the pty slave path of a simulated port. Only a path under /dev/pts/
 * that is a pty slave is accepted, so a broken or hostile pty file can never
 * route an open to a real device.
 */
static int port_slave(const char *port, char *slave, size_t cap, struct stat *st)
{
    char path[512];
    if (port_file(path, sizeof path, port, "pty"))
        return -1;
    ssize_t n = read_small(path, slave, cap);
    if (n <= 0)
        return -1;
    while (n > 0 && (slave[n - 1] == '\n' || slave[n - 1] == '\r' || slave[n - 1] == ' '))
        slave[--n] = '\0';
    if (strncmp(slave, "/dev/pts/", 9) != 0 || strstr(slave, ".."))
        return -1;
    if (sys_stat(slave, st) || !is_pty_slave(st))
        return -1;
    return 0;
}

static int port_is_configured(const char *port)
{
    char path[512];
    struct stat st;
    return port_file(path, sizeof path, port, NULL) == 0 && sys_stat(path, &st) == 0 &&
           S_ISDIR(st.st_mode);
}

static int fd_is_port(const char *port, const struct stat *st)
{
    char slave[256];
    struct stat pst;
    return port_slave(port, slave, sizeof slave, &pst) == 0 && pst.st_rdev == st->st_rdev;
}

/* Maps an open descriptor to its simulated port (name filled in), or -1. */
static int port_of_fd(int fd, char *name)
{
    struct stat st;
    if (syscall(SYS_fstat, fd, &st) != 0 || !is_pty_slave(&st))
        return -1;
    for (size_t i = 0; i < PORT_COUNT; i++)
        if (fd_is_port(port_names[i], &st)) {
            memcpy(name, port_names[i], strlen(port_names[i]) + 1);
            return 0;
        }
    /* USB adapters: whichever are configured in $SIMSERIAL_DIR. */
    const char *dir = getenv("SIMSERIAL_DIR");
    if (!dir || !*dir)
        return -1;
    int dfd = (int)syscall(SYS_openat, AT_FDCWD, dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (dfd < 0)
        return -1;
    char buf[2048];
    int found = -1;
    for (;;) {
        long n = syscall(SYS_getdents64, dfd, buf, sizeof buf);
        if (n <= 0)
            break;
        for (long off = 0; off < n && found < 0;) {
            const char *ent = buf + off + 19; /* d_name of struct linux_dirent64 */
            unsigned short reclen;
            memcpy(&reclen, buf + off + 16, sizeof reclen);
            if (is_usb_name(ent) && fd_is_port(ent, &st)) {
                memcpy(name, ent, strlen(ent) + 1);
                found = 0;
            }
            off += reclen;
        }
        if (found == 0)
            break;
    }
    close(dfd);
    return found;
}

static int port_unplugged(const char *port)
{
    char path[512];
    struct stat st;
    return port_file(path, sizeof path, port, "unplugged") == 0 && sys_stat(path, &st) == 0;
}

/* One line per open of a simulated port: "<epoch s>.<us> <path as given>". */
static void record_open(const char *port, const char *given)
{
    char path[512];
    if (port_file(path, sizeof path, port, "opens"))
        return;
    int fd = sys_open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    char rec[400];
    rec[0] = '\0';
    append_uint(rec, sizeof rec, (unsigned long)ts.tv_sec, 1);
    append(rec, sizeof rec, ".");
    append_uint(rec, sizeof rec, (unsigned long)(ts.tv_nsec / 1000), 6);
    append(rec, sizeof rec, " ");
    if (append(rec, sizeof rec, given))
        append(rec, sizeof rec, "(path too long)");
    append(rec, sizeof rec, "\n");
    write_all(fd, rec, strlen(rec));
    close(fd);
}

/* Parses "DCD=1 CTS=0 RI=0 DSR=0 RTS=1 DTR=0" into TIOCM_* bits. */
static int parse_lines(const char *s)
{
    static const struct {
        const char *key;
        int bit;
    } keys[] = {{"DCD", TIOCM_CAR}, {"CD", TIOCM_CAR}, {"CAR", TIOCM_CAR},
                {"CTS", TIOCM_CTS}, {"RI", TIOCM_RNG}, {"RNG", TIOCM_RNG},
                {"DSR", TIOCM_DSR}, {"RTS", TIOCM_RTS}, {"DTR", TIOCM_DTR}};
    int bits = 0;
    while (*s) {
        while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == ',')
            s++;
        const char *eq = s;
        while (*eq && *eq != '=' && *eq != ' ' && *eq != '\t' && *eq != '\n')
            eq++;
        if (*eq != '=') {
            s = eq;
            continue;
        }
        size_t klen = (size_t)(eq - s);
        int on = eq[1] == '1';
        for (size_t i = 0; i < sizeof keys / sizeof keys[0]; i++)
            if (strlen(keys[i].key) == klen && strncasecmp(keys[i].key, s, klen) == 0 && on)
                bits |= keys[i].bit;
        s = eq + 1;
        while (*s && *s != ' ' && *s != '\t' && *s != '\n' && *s != ',')
            s++;
    }
    return bits;
}

static int read_bits(const char *port, const char *leaf, int mask)
{
    char path[512], buf[256];
    if (port_file(path, sizeof path, port, leaf) || read_small(path, buf, sizeof buf) < 0)
        return 0;
    return parse_lines(buf) & mask;
}

#define INPUT_MASK (TIOCM_CAR | TIOCM_CTS | TIOCM_RNG | TIOCM_DSR)
#define OUTPUT_MASK (TIOCM_RTS | TIOCM_DTR)

static int write_all(int fd, const char *buf, size_t len)
{
    while (len) {
        ssize_t w = write(fd, buf, len);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return -1;
        buf += w;
        len -= (size_t)w;
    }
    return 0;
}

/* Applies TIOCMSET/TIOCMBIS/TIOCMBIC to the port's outputs and logs the call. */
static int change_outputs(const char *port, unsigned long req, int arg)
{
    char path[512];
    if (port_file(path, sizeof path, port, "outputs"))
        return -1;
    int fd = sys_open(path, O_RDWR | O_CREAT, 0644);
    if (fd < 0)
        return -1;
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR)
        ;
    char buf[64];
    ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
    buf[n > 0 ? n : 0] = '\0';
    int cur = parse_lines(buf) & OUTPUT_MASK;
    if (req == TIOCMSET)
        cur = arg & OUTPUT_MASK;
    else if (req == TIOCMBIS)
        cur |= arg & OUTPUT_MASK;
    else
        cur &= ~arg & OUTPUT_MASK;

    char state[32] = "RTS=";
    append(state, sizeof state, (cur & TIOCM_RTS) ? "1" : "0");
    append(state, sizeof state, " DTR=");
    append(state, sizeof state, (cur & TIOCM_DTR) ? "1" : "0");
    /* Fixed length, so readers never see a shortened file. */
    char line[40];
    line[0] = '\0';
    append(line, sizeof line, state);
    append(line, sizeof line, "\n");
    ssize_t w = pwrite(fd, line, strlen(line), 0);
    int t = ftruncate(fd, (off_t)strlen(line));
    (void)w; /* on failure the previous state stays: nothing better to do here */
    (void)t;

    char logpath[512];
    if (port_file(logpath, sizeof logpath, port, "control.log") == 0) {
        int lfd = sys_open(logpath, O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (lfd >= 0) {
            struct timespec ts;
            clock_gettime(CLOCK_REALTIME, &ts);
            char rec[96];
            rec[0] = '\0';
            append_uint(rec, sizeof rec, (unsigned long)ts.tv_sec, 1);
            append(rec, sizeof rec, ".");
            append_uint(rec, sizeof rec, (unsigned long)(ts.tv_nsec / 1000), 6);
            append(rec, sizeof rec, " ");
            append(rec, sizeof rec, state);
            append(rec, sizeof rec, "\n");
            write_all(lfd, rec, strlen(rec));
            close(lfd);
        }
    }
    flock(fd, LOCK_UN);
    close(fd);
    return 0;
}

/* ---- modem-status interrupts -------------------------------------------- */

/*
 * A UART counts every transition of its status inputs (TIOCGICOUNT) and wakes
 * TIOCMIWAIT waiters on them. Here a transition is a new version of `lines`
 * whose bits differ from the last version anyone looked at; a writer may also
 * declare changes too short to see, "DCDPULSES=n CTSPULSES=n" (each pulse a
 * drop and a return), counted once per version. The counters live in the
 * port's `icount` file, shared by every process on the port like a driver's:
 *   DCD=<n> CTS=<n> BITS=<input bits> VER=<version of lines counted>
 * A port whose `driver` file says "no-miwait" refuses both requests, as a
 * driver without modem-status interrupts does.
 */

struct counts {
    unsigned long dcd, cts;
};

static int refuses_miwait(const char *port)
{
    char path[512], buf[64];
    return port_file(path, sizeof path, port, "driver") == 0 &&
           read_small(path, buf, sizeof buf) > 0 && strstr(buf, "no-miwait") != NULL;
}

static unsigned long number_after(const char *s, const char *key)
{
    const char *p = strstr(s, key);
    unsigned long v = 0;
    if (!p)
        return 0;
    for (p += strlen(key); *p >= '0' && *p <= '9'; p++)
        v = v * 10 + (unsigned long)(*p - '0');
    return v;
}

/* Which version of `lines` is there now: inode and change time, so a file
 * replaced by one that got the old inode number still counts as new. */
static unsigned long lines_version(const char *port)
{
    char path[512];
    struct stat st;
    if (port_file(path, sizeof path, port, "lines") || sys_stat(path, &st))
        return 0;
    return (unsigned long)st.st_ino * 1000003ul ^ (unsigned long)st.st_ctim.tv_sec * 1000000000ul ^
           (unsigned long)st.st_ctim.tv_nsec;
}

/* Counts what changed since anyone last looked and returns the counters. */
static int observe(const char *port, struct counts *out)
{
    char path[512], lpath[512];
    if (port_file(path, sizeof path, port, "icount") || port_file(lpath, sizeof lpath, port, "lines"))
        return -1;
    int fd = sys_open(path, O_RDWR | O_CREAT, 0644);
    if (fd < 0)
        return -1;
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR)
        ;
    char buf[160];
    ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
    buf[n > 0 ? n : 0] = '\0';
    int based = n > 0;
    struct counts c = {number_after(buf, "DCD="), number_after(buf, "CTS=")};
    int bits = (int)number_after(buf, "BITS=");
    unsigned long ver = number_after(buf, "VER=");

    char lines[256];
    unsigned long now_ver = lines_version(port);
    if (read_small(lpath, lines, sizeof lines) < 0)
        lines[0] = '\0';
    int now_bits = parse_lines(lines) & INPUT_MASK;
    if (!based || now_ver != ver || now_bits != bits) {
        if (based) {
            if ((now_bits ^ bits) & TIOCM_CAR)
                c.dcd++;
            if ((now_bits ^ bits) & TIOCM_CTS)
                c.cts++;
            if (now_ver != ver) {
                c.dcd += 2 * number_after(lines, "DCDPULSES=");
                c.cts += 2 * number_after(lines, "CTSPULSES=");
            }
        }
        char rec[160] = "DCD=";
        append_uint(rec, sizeof rec, c.dcd, 1);
        append(rec, sizeof rec, " CTS=");
        append_uint(rec, sizeof rec, c.cts, 1);
        append(rec, sizeof rec, " BITS=");
        append_uint(rec, sizeof rec, (unsigned long)now_bits, 1);
        append(rec, sizeof rec, " VER=");
        append_uint(rec, sizeof rec, now_ver, 1);
        append(rec, sizeof rec, "\n");
        ssize_t w = pwrite(fd, rec, strlen(rec), 0);
        int t = ftruncate(fd, (off_t)strlen(rec));
        (void)w;
        (void)t;
    }
    flock(fd, LOCK_UN);
    close(fd);
    *out = c;
    return 0;
}

/*
 * Waits until an input in mask changes, like a UART's TIOCMIWAIT: asleep in
 * inotify on the `lines` file until a test replaces or rewrites it, so a
 * waiting program costs nothing meanwhile. Readers of the file do not wake it.
 */
static int wait_lines(const char *port, int mask)
{
    char path[512], dir[512], gone[512];
    if (port_file(path, sizeof path, port, "lines") || port_file(dir, sizeof dir, port, NULL) ||
        port_file(gone, sizeof gone, port, "unplugged"))
        return -1;
    int in = (int)syscall(SYS_inotify_init1, IN_CLOEXEC);
    if (in < 0)
        return -1;
    /* New files in the port's directory: `lines` where there was none, and
     * `unplugged`, an adapter pulled out, which ends the wait with EIO as a
     * hang-up does. Rewrites of other files are no new names and wake nobody. */
    syscall(SYS_inotify_add_watch, in, dir, IN_CREATE | IN_MOVED_TO);
    struct counts start, now;
    int wd = -1, result = -1;
    for (int first = 1;; first = 0) {
        struct stat st;
        if (sys_stat(gone, &st) == 0) {
            errno = EIO;
            break;
        }
        /* The file itself, replaced by rename: its old inode reports the unlink. */
        if (wd >= 0)
            syscall(SYS_inotify_rm_watch, in, wd);
        wd = (int)syscall(SYS_inotify_add_watch, in, path,
                          IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF);
        if (observe(port, first ? &start : &now))
            break;
        if (!first && (((mask & TIOCM_CAR) && now.dcd != start.dcd) ||
                       ((mask & TIOCM_CTS) && now.cts != start.cts))) {
            result = 0;
            break;
        }
        char ev[4096] __attribute__((aligned(__alignof__(struct inotify_event))));
        ssize_t r = read(in, ev, sizeof ev);
        if (r < 0)
            break; /* EINTR: the caller's signal, as the real wait */
    }
    int e = errno;
    close(in);
    errno = e;
    return result;
}

/* When a program read the lines, for a benchmark that times its probes:
 * appended to `reads.log` only when that file exists. */
static void log_read(const char *port)
{
    char path[512];
    if (port_file(path, sizeof path, port, "reads.log"))
        return;
    int fd = sys_open(path, O_WRONLY | O_APPEND, 0);
    if (fd < 0)
        return;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    char rec[64] = "";
    append_uint(rec, sizeof rec, (unsigned long)ts.tv_sec, 1);
    append(rec, sizeof rec, ".");
    append_uint(rec, sizeof rec, (unsigned long)(ts.tv_nsec / 1000), 6);
    append(rec, sizeof rec, "\n");
    write_all(fd, rec, strlen(rec));
    close(fd);
}

/* ---- open hooks ---------------------------------------------------------- */

/* Opens a port path; returns -2 when the path is not ours. */
static int open_port(const char *path, int flags, mode_t mode)
{
    char port[NAME_CAP];
    if (port_of_path(path, port))
        return -2;
    if (!port_is_configured(port)) {
        errno = ENOENT;
        return -1;
    }
    record_open(port, path);
    if (port_unplugged(port)) {
        errno = ENOENT;
        return -1;
    }
    char slave[256];
    struct stat st;
    if (port_slave(port, slave, sizeof slave, &st)) {
        errno = ENXIO;
        return -1;
    }
    /* The caller's flags unchanged: O_NOCTTY and O_NONBLOCK act as on a real port. */
    return (int)syscall(SYS_openat, AT_FDCWD, slave, flags, mode);
}

static mode_t mode_arg(int flags, va_list ap)
{
    if (flags & (O_CREAT | __O_TMPFILE))
        return (mode_t)va_arg(ap, int);
    return 0;
}

EXPORT int open(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    int fd = open_port(path, flags, mode);
    if (fd != -2)
        return fd;
    open_fn f = (open_fn)real_sym(&r_open, "open");
    return f(path, flags, mode);
}

EXPORT int open64(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    int fd = open_port(path, flags, mode);
    if (fd != -2)
        return fd;
    open_fn f = (open_fn)real_sym(&r_open64, "open64");
    return f(path, flags, mode);
}

EXPORT int openat(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    int fd = open_port(path, flags, mode);
    if (fd != -2)
        return fd;
    openat_fn f = (openat_fn)real_sym(&r_openat, "openat");
    return f(dirfd, path, flags, mode);
}

EXPORT int openat64(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    mode_t mode = mode_arg(flags, ap);
    va_end(ap);
    int fd = open_port(path, flags, mode);
    if (fd != -2)
        return fd;
    openat_fn f = (openat_fn)real_sym(&r_openat64, "openat64");
    return f(dirfd, path, flags, mode);
}

/* Fortified entry points used by -D_FORTIFY_SOURCE builds. */
EXPORT int __open_2(const char *path, int flags)
{
    int fd = open_port(path, flags, 0);
    if (fd != -2)
        return fd;
    open2_fn f = (open2_fn)real_sym(&r_open_2, "__open_2");
    return f(path, flags);
}

EXPORT int __open64_2(const char *path, int flags)
{
    int fd = open_port(path, flags, 0);
    if (fd != -2)
        return fd;
    open2_fn f = (open2_fn)real_sym(&r_open64_2, "__open64_2");
    return f(path, flags);
}

EXPORT int __openat_2(int dirfd, const char *path, int flags)
{
    int fd = open_port(path, flags, 0);
    if (fd != -2)
        return fd;
    openat2_fn f = (openat2_fn)real_sym(&r_openat_2, "__openat_2");
    return f(dirfd, path, flags);
}

EXPORT int __openat64_2(int dirfd, const char *path, int flags)
{
    int fd = open_port(path, flags, 0);
    if (fd != -2)
        return fd;
    openat2_fn f = (openat2_fn)real_sym(&r_openat64_2, "__openat64_2");
    return f(dirfd, path, flags);
}

static int fopen_flags(const char *mode)
{
    int flags;
    switch (mode[0]) {
    case 'r': flags = O_RDONLY; break;
    case 'w': flags = O_WRONLY | O_CREAT | O_TRUNC; break;
    case 'a': flags = O_WRONLY | O_CREAT | O_APPEND; break;
    default: return -1;
    }
    for (const char *m = mode + 1; *m; m++) {
        if (*m == '+')
            flags = (flags & ~O_ACCMODE) | O_RDWR;
        else if (*m == 'e')
            flags |= O_CLOEXEC;
        else if (*m == 'x')
            flags |= O_EXCL;
    }
    return flags;
}

static FILE *fopen_port(const char *path, const char *mode, int *ours)
{
    char port[NAME_CAP];
    *ours = port_of_path(path, port) == 0;
    if (!*ours)
        return NULL;
    int flags = mode ? fopen_flags(mode) : -1;
    if (flags < 0) {
        errno = EINVAL;
        return NULL;
    }
    int fd = open_port(path, flags, 0666);
    if (fd < 0)
        return NULL;
    FILE *f = fdopen(fd, mode);
    if (!f) {
        int e = errno;
        close(fd);
        errno = e;
    }
    return f;
}

EXPORT FILE *fopen(const char *path, const char *mode)
{
    int ours;
    FILE *f = fopen_port(path, mode, &ours);
    if (ours)
        return f;
    fopen_fn real = (fopen_fn)real_sym(&r_fopen, "fopen");
    return real(path, mode);
}

EXPORT FILE *fopen64(const char *path, const char *mode)
{
    int ours;
    FILE *f = fopen_port(path, mode, &ours);
    if (ours)
        return f;
    fopen_fn real = (fopen_fn)real_sym(&r_fopen64, "fopen64");
    return real(path, mode);
}

/* ---- ioctl hook ---------------------------------------------------------- */

EXPORT int ioctl(int fd, unsigned long req, ...)
{
    va_list ap;
    va_start(ap, req);
    void *arg = va_arg(ap, void *);
    va_end(ap);

    if (req == TIOCMGET || req == TIOCMSET || req == TIOCMBIS || req == TIOCMBIC ||
        req == TIOCMIWAIT || req == TIOCGICOUNT) {
        char port[NAME_CAP];
        if (port_of_fd(fd, port) == 0) {
            if (port_unplugged(port)) {
                errno = EIO; /* as an adapter's descriptor after it was pulled out */
                return -1;
            }
            if ((req == TIOCMIWAIT || req == TIOCGICOUNT) && refuses_miwait(port)) {
                errno = ENOTTY;
                return -1;
            }
            if (req == TIOCMIWAIT)
                return wait_lines(port, (int)(long)arg);
            if (!arg) {
                errno = EFAULT;
                return -1;
            }
            if (req == TIOCGICOUNT) {
                struct counts c;
                if (observe(port, &c)) {
                    errno = EIO;
                    return -1;
                }
                struct serial_icounter_struct *ic = arg;
                memset(ic, 0, sizeof *ic);
                ic->dcd = (int)c.dcd;
                ic->cts = (int)c.cts;
                return 0;
            }
            if (req == TIOCMGET) {
                log_read(port);
                *(int *)arg = read_bits(port, "lines", INPUT_MASK) |
                              read_bits(port, "outputs", OUTPUT_MASK);
                return 0;
            }
            if (change_outputs(port, req, *(const int *)arg)) {
                errno = EIO;
                return -1;
            }
            return 0;
        }
    }
    ioctl_fn f = (ioctl_fn)real_sym(&r_ioctl, "ioctl");
    if (!f)
        return (int)syscall(SYS_ioctl, fd, req, arg);
    return f(fd, req, arg);
}
