# A text of 1 000 000 lines built by concatenation inside a function.
def build(n):
    result = ''
    for i in range(1, n + 1):
        result += 'line ' + str(i) + '\r\n'
    return result


print(len(build(1000000)))
