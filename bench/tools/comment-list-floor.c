/* The floor of comment-list: what any program that lists a folder of comments must do for each
 * file, and nothing more: list it, open it, stat it, read its DOS attribute (the hidden and system
 * bits), read its first 4 KiB, close it. Prints the number of bytes read.
 *   comment-list-floor FOLDER */
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: comment-list-floor FOLDER\n");
        return 2;
    }
    DIR* d = opendir(argv[1]);
    if (!d) return 1;
    const int dfd = dirfd(d);
    char head[4096], attrib[256];
    unsigned long bytes = 0;
    struct dirent* e;
    while ((e = readdir(d)) != NULL) {
        if (e->d_name[0] == '.') continue;
        const int fd = openat(dfd, e->d_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st;
        if (fstat(fd, &st) == 0 && fgetxattr(fd, "user.DOSATTRIB", attrib, sizeof attrib) < 0) attrib[0] = 0;
        const ssize_t n = read(fd, head, sizeof head);
        if (n > 0) bytes += (unsigned long)n;
        close(fd);
    }
    closedir(d);
    printf("%lu\n", bytes);
    return 0;
}
