// Stand-ins for the suite's programs, for testing the runner. The file name
// says which program it plays, the folder how: "good" prints right results
// in the program's own format, "bad" prints wrong ones, crashes or hangs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<long long> primesUpTo(long long n)
{
    std::vector<char> composite(static_cast<std::size_t>(n > 1 ? n + 1 : 2), 0);
    std::vector<long long> primes;
    for (long long i = 2; i <= n; ++i) {
        if (composite[static_cast<std::size_t>(i)])
            continue;
        primes.push_back(i);
        for (long long j = i * i; j <= n; j += i)
            composite[static_cast<std::size_t>(j)] = 1;
    }
    return primes;
}

std::string base(const std::string &path)
{
    std::size_t s = path.rfind('/');
    return s == std::string::npos ? path : path.substr(s + 1);
}

std::string folder(const std::string &path)
{
    std::size_t s = path.rfind('/');
    return s == std::string::npos ? std::string() : base(path.substr(0, s));
}

long long fromStdin()
{
    long long n = 0;
    if (std::scanf("%lld", &n) != 1)
        return 0;
    return n;
}

void hang()
{
    for (;;)
        pause();
}

} // namespace

int main(int argc, char **argv)
{
    std::string name = base(argv[0]);
    std::size_t dot = name.find(".exe");
    if (dot != std::string::npos)
        name.resize(dot);
    bool bad = folder(argv[0]) == "bad";
    long long argN = argc > 1 ? std::atoll(argv[1]) : 0;

    if (name.compare(0, 11, "squarestep-") == 0) {
        if (bad && name == "squarestep-winapi")
            std::abort();
        std::vector<long long> p = primesUpTo(argN);
        if (bad && name == "squarestep-serial")
            p.insert(p.begin() + 4, 9); // a composite among the primes
        if (bad && name == "squarestep-pthread" && !p.empty())
            p.pop_back(); // the largest prime left out
        for (std::size_t i = 0; i < p.size(); ++i)
            std::printf(i ? " %lld" : "%lld", p[i]);
        return 0;
    }
    if (name == "blocks-pthread") {
        long long n = fromStdin();
        std::vector<long long> p = primesUpTo(n);
        for (std::size_t i = 0; i < p.size(); ++i) {
            std::printf("%lld\n", p[i]);
            if (bad && i == 0)
                std::printf("%lld\n", p[i]);
        }
        std::printf("\n%d\nms", 12);
        return 0;
    }
    if (name == "tally-serial" || name == "tally-pthread") {
        std::printf("Enter the value of N:");
        long long n = fromStdin();
        long long count = static_cast<long long>(primesUpTo(n).size());
        if (name == "tally-serial") {
            std::printf("the number of prime number: %lld", bad ? count + 1 : count);
        } else {
            if (bad) {
                std::printf("%lld\ntime: soon\n", count);
                return 0;
            }
            std::printf("%lld", count);
        }
        std::printf("\ntime: %lf s\n", 0.125);
        return 0;
    }
    if (name == "pool-pthread" || name == "pool-winapi") {
        std::printf("\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xa3\xba%.4f\xc3\xeb", 0.0421);
        return bad ? 3 : 0;
    }
    if (name == "compare-pthread" || name == "compare-winapi") {
        const char *api = name == "compare-pthread" ? "POSIX Thread" : "Windows API";
        std::printf("\xbb\xf9\xd3\xda%s\xca\xb5\xcf\xd6\xb5\xc4\xb6\xe0\xcf\xdf\xb3\xcc\xb3\xcc\xd0\xf2"
                    "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xce\xaa\xa3\xba%.4f\xc3\xeb",
                    api, name == "compare-pthread" ? 1.5 : 1.25);
        return 0;
    }
    if (name == "stride-pthread" || name == "stride-winapi") {
        std::printf("need time:%4d\n", name == "stride-pthread" ? 35 : 1234);
        return 0;
    }
    if (name == "stride-prompt") {
        std::cout << "Please input a number larger than 2:" << std::endl;
        if (bad) {
            std::fflush(stdout);
            hang();
        }
        long long n = 0;
        std::cin >> n;
        std::cout << "The run time is:" << 0.016 << "s!" << std::endl;
        std::cout << "Press any key to continue . . . " << std::flush;
        char c;
        if (std::cin.get(c)) {
        }
        return 0;
    }
    if (name == "finders-try") {
        std::vector<long long> p = primesUpTo(argN);
        unsigned long long sum = 0;
        for (long long v : p)
            sum += static_cast<unsigned long long>(v);
        const char *names[] = {"find_primes_single_naive", "find_primes_multi_naive", "find_primes_single_filter",
                               "find_primes_multi_filter"};
        for (int i = 0; i < 4; ++i) {
            unsigned long long s = bad && i == 3 ? sum + 2 : sum;
            if (p.empty())
                std::printf("%s: count=0 largest=- sum=0 time=%.3f ms\n", names[i], 0.5 + i);
            else
                std::printf("%s: count=%zu largest=%lld sum=%llu time=%.3f ms\n", names[i], p.size(), p.back(), s,
                            0.5 + i);
        }
        std::printf(bad ? "finders disagree\n" : "all four finders agree\n");
        return bad ? 1 : 0;
    }
    std::fprintf(stderr, "fixture: no such program %s\n", name.c_str());
    return 100;
}
