# Ten million iterations of an integer loop with mod and if.
def count_multiples(n):
    result = 0
    for i in range(1, n + 1):
        if i % 3 == 0:
            result = result + 1
    return result


print(count_multiples(10000000))
