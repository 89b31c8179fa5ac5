var s: string;
begin s := 'ab'; while True do s := s + s + 'x' end.
