/* The least element walk: what every element filter of brixfilter (-d, -s, -S, -R) must do at
 * the least, as the floor its times are measured against. It finds every '<' and '>' with vector
 * compares (a 64-bit mask of each per 64 bytes, AVX2), walks the set bits, classifies each tag by
 * its second byte, steps over comments and processing instructions, and matches end tags against
 * a stack of start-tag names. It writes nothing but a count of elements and mismatches.
 *
 *   kleinster_lauf FILE
 */
#define _GNU_SOURCE
#include <fcntl.h>
#include <immintrin.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

__attribute__((target("avx2"))) static void Masken(const char *p, uint64_t *pKl, uint64_t *pGr)
{
    const __m256i kl = _mm256_set1_epi8('<'), gr = _mm256_set1_epi8('>');
    const __m256i a = _mm256_loadu_si256((const __m256i *)p), b = _mm256_loadu_si256((const __m256i *)(p + 32));
    *pKl = (uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, kl)) |
           (uint64_t)(uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, kl)) << 32;
    *pGr = (uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, gr)) |
           (uint64_t)(uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, gr)) << 32;
}

int main(int argc, char **argv)
{
    if (argc != 2) return fprintf(stderr, "usage: kleinster_lauf FILE\n"), 2;
    const int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return perror(argv[1]), 2;
    const size_t n = (size_t)st.st_size;
    /* 64 bytes of room behind the text, so that the last block can be read whole. */
    char *d = mmap(NULL, n + 4096 + 64, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (d == MAP_FAILED || (n && mmap(d, n, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED))
        return perror("mmap"), 2;
    size_t nStapel = 0, nPlatz = 1024, nElemente = 0, nFehler = 0;
    const char **aName = malloc(nPlatz * sizeof *aName);
    size_t *aLaenge = malloc(nPlatz * sizeof *aLaenge);
    size_t nTag = 0; /* the '<' of the tag the walk is in */
    int bDrin = 0;
    for (size_t i = 0; i < n; i += 64) {
        uint64_t kl, gr;
        Masken(d + i, &kl, &gr);
        for (;;) {
            const uint64_t m = bDrin ? gr : kl;
            if (!m) break;
            const size_t k = i + (size_t)__builtin_ctzll(m);
            if (k >= n) break;
            const uint64_t dahinter = (k - i) == 63 ? 0 : ~((UINT64_C(2) << (k - i)) - 1);
            kl &= dahinter;
            gr &= dahinter;
            if (!bDrin) {
                nTag = k;
                bDrin = 1;
                const char c = k + 1 < n ? d[k + 1] : 0;
                const char *q = NULL;
                if (c == '!' && k + 3 < n && d[k + 2] == '-' && d[k + 3] == '-') q = memmem(d + k, n - k, "-->", 3);
                else if (c == '?') q = memmem(d + k, n - k, "?>", 2);
                else continue;
                if (!q) { i = n; break; }
                /* Go on behind the comment or instruction, in the block that holds its end. */
                const size_t nWeiter = (size_t)(q - d) + (c == '?' ? 2 : 3);
                bDrin = 0;
                i = nWeiter / 64 * 64;
                Masken(d + i, &kl, &gr);
                const uint64_t vorn = ~((UINT64_C(1) << (nWeiter % 64)) - 1);
                kl &= vorn, gr &= vorn;
                continue;
            }
            bDrin = 0;
            if (d[nTag + 1] == '/') {
                const size_t nLen = k - nTag - 2;
                if (nStapel == 0 || aLaenge[nStapel - 1] != nLen || memcmp(aName[nStapel - 1], d + nTag + 2, nLen))
                    ++nFehler;
                else
                    --nStapel, ++nElemente;
            } else if (d[nTag + 1] != '!' && d[k - 1] != '/') {
                size_t e = nTag + 1;
                while (e < k && d[e] != ' ' && d[e] != '\t' && d[e] != '\n' && d[e] != '\r') ++e;
                if (nStapel == nPlatz) {
                    nPlatz *= 2;
                    aName = realloc(aName, nPlatz * sizeof *aName);
                    aLaenge = realloc(aLaenge, nPlatz * sizeof *aLaenge);
                }
                aName[nStapel] = d + nTag + 1;
                aLaenge[nStapel++] = e - nTag - 1;
            } else {
                ++nElemente;
            }
        }
    }
    printf("%zu elements, %zu mismatches, %zu open\n", nElemente, nFehler, nStapel);
    return 0;
}
